#pragma once

#include <QString>

class QWidget;

namespace qle {

// The file-save dialog of the export. Tests install a scripted one so that no
// test waits on a real dialog.
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // The chosen file, or empty text when the user cancelled.
    virtual QString saveFileName(QWidget *parent, const QString &folder, const QString &filter) = 0;
};

namespace recording {
// A QFileDialog run through platform::modalRunner() unless a test set another.
IFileDialogs &fileDialogs();
void setFileDialogs(IFileDialogs *dialogs); // nullptr restores the file dialog
} // namespace recording

} // namespace qle
