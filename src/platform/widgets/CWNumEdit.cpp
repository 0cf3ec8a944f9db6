#include "CWNumEdit.h"

#include "platform/FormatPattern.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QSignalBlocker>

#include <cmath>
#include <limits>

namespace qle {

void PatternSpinBox::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    // The box keeps more digits than it shows, so a typed 1.23456 arrives as
    // typed and is rounded only where it is rendered.
    setDecimals(6);
    const double current = value();
    setValue(current);
}

QString PatternSpinBox::textFromValue(double value) const
{
    QString text = FormatPattern(value, m_pattern);
    const QChar point = locale().decimalPoint().at(0);
    if (point != u'.')
        text.replace(u'.', point);
    return text;
}

double PatternSpinBox::valueFromText(const QString &text) const
{
    QString normalized = text.trimmed();
    normalized.replace(locale().decimalPoint(), ".");
    normalized.replace(u',', u'.');
    return ReadNumber(normalized);
}

QValidator::State PatternSpinBox::validate(QString &text, int &) const
{
    QString normalized = text.trimmed();
    if (normalized.isEmpty() || normalized == "-" || normalized == "." || normalized == ",")
        return QValidator::Intermediate;
    normalized.replace(locale().decimalPoint(), ".");
    normalized.replace(u',', u'.');
    bool ok = false;
    const double value = ReadNumber(normalized, &ok);
    if (!ok)
        return normalized.endsWith(u'.') ? QValidator::Intermediate : QValidator::Invalid;
    return value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

CWNumEdit::CWNumEdit(int index, QWidget *parent) : QWidget(parent), m_spin(new PatternSpinBox(this)), m_index(index)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_spin);
    m_spin->setKeyboardTracking(false);
    // Values below Minimum reach the owner, which decides what to do with them.
    m_spin->setMinimum(-std::numeric_limits<int>::max());
    m_spin->setMaximum(std::numeric_limits<int>::max());
    m_spin->setPattern("0.00");
    m_spin->setAlignment(Qt::AlignRight);
    {
        const QSignalBlocker block(m_spin);
        m_spin->setValue(0);
    }
    connect(m_spin, &QDoubleSpinBox::valueChanged, this, &CWNumEdit::onUserValue);
}

void CWNumEdit::setValue(double value)
{
    const QSignalBlocker block(m_spin);
    m_spin->setValue(value);
    m_value = m_spin->value();
}

bool CWNumEdit::enterValue(double value)
{
    if (!std::isfinite(value) || value < m_minimum || value > Maximum())
        return false;
    m_spin->setValue(value);
    return true;
}

void CWNumEdit::setMaximum(double maximum)
{
    const QSignalBlocker block(m_spin);
    m_spin->setMaximum(maximum);
    m_value = m_spin->value();
}

void CWNumEdit::setFormatString(const QString &pattern)
{
    const QSignalBlocker block(m_spin);
    m_spin->setPattern(pattern);
}

QString CWNumEdit::textForValue(double value) const
{
    return FormatPattern(value, m_spin->pattern());
}

bool CWNumEdit::hasUnsentEdit() const
{
    return m_spin->hasFocus() && m_spin->text() != m_spin->textFromValue(m_spin->value());
}

void CWNumEdit::onUserValue(double value)
{
    const double previous = m_value;
    m_value = value;
    emit ValueChanged(m_index, value, previous);
}

} // namespace qle
