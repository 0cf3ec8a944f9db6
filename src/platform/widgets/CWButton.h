#pragma once

#include <QPushButton>

namespace qle {

// A toggle button. ValueChanged fires whenever Value really changes, by a
// click or from the program, and never when it is set to what it already is.
// Clicked fires for the user's clicks only.
class CWButton final : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(bool Value READ Value WRITE setValue)
public:
    explicit CWButton(const QString &caption = {}, int index = 0, QWidget *parent = nullptr);

    [[nodiscard]] bool Value() const { return isChecked(); }
    void setValue(bool value) { setChecked(value); }
    [[nodiscard]] int index() const { return m_index; }

signals:
    void ValueChanged(bool value);
    void Clicked(int index);

private:
    int m_index;
};

} // namespace qle
