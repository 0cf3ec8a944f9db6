#pragma once

#include <QDialog>

class QGridLayout;
class QLabel;
class QPushButton;
class QSpinBox;

namespace qle {

// What the small parameter dialogs share: a grid of labelled inputs above the
// OK and Cancel buttons, and the OK flag that only the OK button sets.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);

    [[nodiscard]] QPushButton *OKButton() const { return m_ok; }
    [[nodiscard]] QPushButton *CancelButton() const { return m_cancel; }

protected:
    // Shows the dialog through the modal runner; true when OK closed it.
    bool runModal();

    QLabel *addLabel(int row, int column, const QString &name, const QString &text);
    // A numeric field stepping by 1 in [min, max], with its label in front.
    QSpinBox *addNumber(int row, const QString &name, int min, int max, const QString &labelName,
                        const QString &labelText);

    [[nodiscard]] QGridLayout *fields() const { return m_fields; }
    // The field that has the focus, its text selected, when the dialog opens:
    // the first one given. Typing a number and Enter then takes that number.
    void takesFirstFocus(QWidget *field);

    void showEvent(QShowEvent *event) override;

private:
    QWidget *m_firstField = nullptr;
    QGridLayout *m_fields;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    bool m_okFlag = false;
};

} // namespace qle
