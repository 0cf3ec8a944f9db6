#pragma once

#include <QLineEdit>

namespace qle {

// A text field the engine writes replies into through its "Text" property.
// Its change notice (QLineEdit::textChanged) runs only when the text really
// changes. Reply sinks are hidden ones.
class TextBox final : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    explicit TextBox(const QString &initial = {}, QWidget *parent = nullptr) : QLineEdit(initial, parent)
    {
        setReadOnly(true);
    }
};

} // namespace qle
