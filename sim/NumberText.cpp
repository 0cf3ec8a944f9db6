#include "NumberText.h"

#include <cmath>

namespace psusim {

namespace {

bool isDecimalSyntax(const QByteArray &t)
{
    // [+-] digits [. digits] [e [+-] digits], at least one mantissa digit.
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == '+' || t[i] == '-'))
        ++i;
    int mantissaDigits = 0;
    while (i < n && t[i] >= '0' && t[i] <= '9') {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && t[i] >= '0' && t[i] <= '9') {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-'))
            ++i;
        int exponentDigits = 0;
        while (i < n && t[i] >= '0' && t[i] <= '9') {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

} // namespace

std::optional<double> parseDecimal(const QByteArray &text)
{
    QByteArray t = text.trimmed();
    if (!isDecimalSyntax(t))
        return std::nullopt;
    // A lone trailing point ("5.") is fine for us but not for every parser.
    if (t.endsWith('.'))
        t.append('0');
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseWholeNumber(const QByteArray &text)
{
    const std::optional<double> value = parseDecimal(text);
    if (!value || std::floor(*value) != *value || std::fabs(*value) > 1e9)
        return std::nullopt;
    return int(*value);
}

std::optional<bool> parseSwitch(const QByteArray &text)
{
    const QByteArray t = text.trimmed().toUpper();
    if (t == "ON")
        return true;
    if (t == "OFF")
        return false;
    const std::optional<int> number = parseWholeNumber(t);
    if (number && (*number == 0 || *number == 1))
        return *number == 1;
    return std::nullopt;
}

QByteArray formatFixed3(double value)
{
    // Avoid "-0.000" for tiny negative values.
    if (std::fabs(value) < 0.0005)
        value = 0;
    return QByteArray::number(value, 'f', 3);
}

} // namespace psusim
