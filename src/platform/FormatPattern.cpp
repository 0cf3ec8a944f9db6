#include "FormatPattern.h"

#include <algorithm>

#include <cmath>

namespace qle {
namespace {

struct Pattern {
    int minIntegerDigits = 0;
    int minFractionDigits = 0;
    int maxFractionDigits = 0;
    bool hasPoint = false;
};

Pattern parse(const QString &pattern)
{
    Pattern p;
    const qsizetype point = pattern.indexOf(u'.');
    p.hasPoint = point >= 0;
    const QString integer = p.hasPoint ? pattern.left(point) : pattern;
    const QString fraction = p.hasPoint ? pattern.mid(point + 1) : QString();
    p.minIntegerDigits = static_cast<int>(integer.count(u'0'));
    for (const QChar ch : fraction) {
        if (ch != u'0' && ch != u'#')
            break;
        ++p.maxFractionDigits;
        if (ch == u'0')
            p.minFractionDigits = p.maxFractionDigits;
    }
    return p;
}

// Adds one to the last digit of a string of decimal digits, with carry.
QString incremented(QString digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] == u'9') {
            digits[i] = u'0';
        } else {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
    }
    return "1" + digits;
}

// The value's 15-significant-digit text written out in full, without an
// exponent, so that tiny values keep their digits whatever the pattern asks.
QString plainDecimal(double magnitude)
{
    const QString text = QString::number(magnitude, 'g', 15);
    const qsizetype e = text.indexOf(u'e');
    if (e < 0)
        return text;
    const QString mantissa = text.left(e);
    const int exponent = text.mid(e + 1).toInt();
    const qsizetype point = mantissa.indexOf(u'.');
    const QString digits = point >= 0 ? mantissa.left(point) + mantissa.mid(point + 1) : mantissa;
    // The mantissa has one digit before its point: the point goes after
    // digit number 1 + exponent.
    const qsizetype integerLength = 1 + exponent;
    if (integerLength <= 0)
        return "0." + QString(-integerLength, u'0') + digits;
    if (integerLength >= digits.size())
        return digits + QString(integerLength - digits.size(), u'0');
    return digits.left(integerLength) + u'.' + digits.mid(integerLength);
}

} // namespace

QString FormatPattern(double value, const QString &pattern)
{
    const Pattern p = parse(pattern);
    if (!std::isfinite(value))
        return QString::number(value);
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);

    // Work on the shortest exact decimal text of the value, so that 2.675
    // rounds as written rather than as its binary neighbour 2.67499...
    const QString text = plainDecimal(magnitude);
    const qsizetype point = text.indexOf(u'.');
    QString integer = point >= 0 ? text.left(point) : text;
    QString fraction = point >= 0 ? text.mid(point + 1) : QString();

    const int keep = p.maxFractionDigits;
    const bool roundUp = fraction.size() > keep && fraction.at(keep) >= u'5';
    fraction = fraction.left(keep).leftJustified(keep, u'0');
    if (roundUp) {
        const QString digits = incremented(integer + fraction);
        integer = digits.left(digits.size() - keep);
        fraction = digits.right(keep);
    }
    while (fraction.size() > p.minFractionDigits && fraction.endsWith(u'0'))
        fraction.chop(1);
    while (integer.size() > p.minIntegerDigits && integer.startsWith(u'0'))
        integer.remove(0, 1);
    while (integer.size() < p.minIntegerDigits)
        integer.prepend(u'0');

    const auto nonZero = [](QChar c) { return c >= u'1' && c <= u'9'; };
    const bool isZero = std::none_of(integer.cbegin(), integer.cend(), nonZero) &&
                        std::none_of(fraction.cbegin(), fraction.cend(), nonZero);
    QString result = (negative && !isZero) ? QStringLiteral("-") : QString();
    result += integer;
    if (p.hasPoint)
        result += u'.' + fraction;
    return result;
}

double ReadNumber(const QString &text, bool *ok)
{
    bool converted = false;
    const double value = text.trimmed().toDouble(&converted);
    const bool good = converted && std::isfinite(value);
    if (ok)
        *ok = good;
    return good ? value : 0.0;
}

} // namespace qle
