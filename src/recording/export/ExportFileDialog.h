#pragma once

#include <QString>

class QWidget;

namespace qle {

// The file dialogs of the export and of the files the program opens. Tests install a scripted one so that no
// test waits on a real dialog.
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // The chosen file, or empty text when the user cancelled. `filter` may
    // offer several types, ";;" between them; *chosenFilter, when asked,
    // tells which one the user took.
    virtual QString saveFileName(QWidget *parent, const QString &folder, const QString &filter,
                                 QString *chosenFilter = nullptr) = 0;
    // The file chosen to open, or empty text when the user cancelled.
    virtual QString openFileName(QWidget *parent, const QString &folder, const QString &filter);
};

namespace recording {
// A QFileDialog run through platform::modalRunner() unless a test set another.
IFileDialogs &fileDialogs();
void setFileDialogs(IFileDialogs *dialogs); // nullptr restores the file dialog
} // namespace recording

} // namespace qle
