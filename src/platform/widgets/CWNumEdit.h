#pragma once

#include <QDoubleSpinBox>
#include <QString>

namespace qle {

// Spin box whose text is the value rendered with a display pattern, and which
// accepts a point or the user's decimal separator when typed.
class PatternSpinBox final : public QDoubleSpinBox {
    Q_OBJECT
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    void setPattern(const QString &pattern);
    [[nodiscard]] QString pattern() const { return m_pattern; }

    [[nodiscard]] QString textFromValue(double value) const override;
    [[nodiscard]] double valueFromText(const QString &text) const override;
    QValidator::State validate(QString &text, int &pos) const override;

private:
    QString m_pattern = "0.00";
};

// A numeric field: Value, Minimum, Maximum, increment step and display
// pattern. ValueChanged reports what the user entered (channel index, new
// value, previous value); values written by the program never raise it, so a
// value read from the instrument is never sent back.
class CWNumEdit final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE setValue)
public:
    explicit CWNumEdit(int index = 0, QWidget *parent = nullptr);

    [[nodiscard]] double Value() const { return m_value; }
    void setValue(double value);
    [[nodiscard]] double Minimum() const { return m_minimum; }
    void setMinimum(double minimum) { m_minimum = minimum; }
    [[nodiscard]] double Maximum() const { return m_spin->maximum(); }
    void setMaximum(double maximum);
    void setIncrement(double step) { m_spin->setSingleStep(step); }
    [[nodiscard]] double increment() const { return m_spin->singleStep(); }
    void setFormatString(const QString &pattern);
    [[nodiscard]] QString FormatString() const { return m_spin->pattern(); }
    [[nodiscard]] int index() const { return m_index; }
    // The value as the field shows it.
    [[nodiscard]] QString textForValue(double value) const;
    [[nodiscard]] PatternSpinBox *spinBox() const { return m_spin; }
    // The user is typing a value not yet entered: the field has the focus and
    // shows other text than its value's.
    [[nodiscard]] bool hasUnsentEdit() const;
    // Enters a value as the user does, ValueChanged included when it differs;
    // a value outside Minimum..Maximum is refused (false) and changes nothing.
    bool enterValue(double value);

signals:
    void ValueChanged(int index, double value, double previous);

private:
    void onUserValue(double value);

    PatternSpinBox *m_spin;
    int m_index;
    double m_value = 0;
    double m_minimum = 0;
};

} // namespace qle
