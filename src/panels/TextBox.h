#pragma once

#include <QLineEdit>

namespace qle {

// A text field the engine writes replies into through its "Text" property.
// Its change notice (QLineEdit::textChanged) runs only when the text really
// changes. Reply sinks are hidden ones.
class TextBox final : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE assignText)
public:
    explicit TextBox(const QString &initial = {}, QWidget *parent = nullptr) : QLineEdit(initial, parent)
    {
        setReadOnly(true);
    }

    // What the engine calls: the text, then `assigned` even when the text
    // did not change (a reply equal to the last one is still a new reply).
    void assignText(const QString &text)
    {
        setText(text);
        emit assigned(text);
    }

signals:
    void assigned(const QString &text);
};

} // namespace qle
