#include "GraphFormat.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace qle::graph {
namespace {

constexpr qint64 SecondsPerDay = 86400;

QString digits(qint64 value, int width)
{
    return QString::number(value).rightJustified(width, u'0');
}

} // namespace

QString FormatTotalTime(qint64 seconds)
{
    const qint64 s = seconds % 60;
    const qint64 m = (seconds / 60) % 60;
    const qint64 h = (seconds / 3600) % 24;
    const qint64 d = seconds / SecondsPerDay;
    const QString time = QStringLiteral("%1:%2:%3").arg(h).arg(m).arg(s);
    return d == 0 ? time : QStringLiteral("%1D ").arg(d) + time;
}

QString formatElapsed(double days, const QString &pattern)
{
    const qint64 total = std::llround(days * SecondsPerDay);
    const qint64 magnitude = total < 0 ? -total : total;
    const qint64 hours = magnitude / 3600;
    const qint64 minutes = (magnitude / 60) % 60;
    const qint64 seconds = magnitude % 60;

    QString text = total < 0 ? QStringLiteral("-") : QString();
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar letter = pattern.at(i).toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run).toLower() == letter)
            ++run;
        const int width = run >= 2 ? 2 : 1;
        if (letter == u'h')
            text += digits(hours, width);
        else if (letter == u'n')
            text += digits(minutes, width);
        else if (letter == u's')
            text += digits(seconds, width);
        else
            text += pattern.mid(i, run);
        i += run;
    }
    return text;
}

double leadingNumber(const QString &text)
{
    return readingValue(text).value_or(0);
}

namespace {

// Where the number a reading starts with lies, [first, last): whitespace,
// then a sign, digits with at most one point (at least one digit), then an
// exponent only when digits follow it. `at(i)` is the code unit at i.
template <typename At, typename IsSpace>
std::optional<std::pair<qsizetype, qsizetype>> numberSpan(qsizetype size, At at, IsSpace isSpace)
{
    qsizetype i = 0;
    while (i < size && isSpace(i))
        ++i;
    const qsizetype start = i;
    if (i < size && (at(i) == u'+' || at(i) == u'-'))
        ++i;
    const auto isDigit = [&](qsizetype k) { return k < size && at(k) >= u'0' && at(k) <= u'9'; };
    qsizetype digitCount = 0;
    while (isDigit(i)) {
        ++i;
        ++digitCount;
    }
    if (i < size && at(i) == u'.') {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digitCount;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    if (i < size && (at(i) == u'e' || at(i) == u'E')) {
        qsizetype exponent = i + 1;
        if (exponent < size && (at(exponent) == u'+' || at(exponent) == u'-'))
            ++exponent;
        if (isDigit(exponent)) {
            while (isDigit(exponent))
                ++exponent;
            i = exponent;
        }
    }
    // from_chars takes no plus sign.
    return std::pair{at(start) == u'+' ? start + 1 : start, i};
}

// Plain ASCII, as numberSpan found it, converted without a locale, which
// costs a tenth of QLocale::toDouble on a day of readings.
// Most readings are a few digits with a point ("12.345"). Their digits as a
// whole number and the power of ten to divide by are both exact in a
// double, and the quotient of two exact doubles is the correctly rounded
// value, as from_chars gives it, for a fraction of its cost.
constexpr std::array<double, 23> PowersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr quint64 ExactLimit = quint64{1} << 53;

std::optional<double> asciiNumber(const char *first, const char *last)
{
    const bool negative = first < last && *first == '-';
    quint64 digits = 0;
    int places = -1; // digits after the point, -1 before one
    bool exact = true;
    for (const char *at = negative ? first + 1 : first; at < last && exact; ++at) {
        if (*at == '.') {
            places = 0;
        } else if (*at >= '0' && *at <= '9') {
            digits = digits * 10 + static_cast<quint64>(*at - '0');
            places += places >= 0 ? 1 : 0;
            exact = digits <= ExactLimit;
        } else {
            exact = false; // an exponent
        }
    }
    if (exact && places < static_cast<int>(PowersOfTen.size())) {
        const double value =
            static_cast<double>(digits) / PowersOfTen.at(static_cast<std::size_t>(std::max(places, 0)));
        return negative ? -value : value;
    }
    double value = 0;
    const auto [stop, error] = std::from_chars(first, last, value);
    if (error != std::errc() || stop != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A reading of the common kind decided in one pass: blank, or ASCII
// whitespace, a sign, digits with at most one point and no exponent, whose
// digits are exact in a double. False leaves the text to the full rules.
bool plainReading(QByteArrayView text, std::optional<double> *value)
{
    const char *at = text.data();
    const char *const end = at + text.size();
    while (at < end && isAsciiSpace(*at))
        ++at;
    if (at == end) {
        value->reset();
        return true;
    }
    const bool negative = *at == '-';
    if (negative || *at == '+')
        ++at;
    quint64 digits = 0;
    int count = 0;
    int places = -1; // digits after the point, -1 before one
    for (; at < end; ++at) {
        if (*at >= '0' && *at <= '9') {
            digits = digits * 10 + static_cast<quint64>(*at - '0');
            ++count;
            places += places >= 0 ? 1 : 0;
            if (digits > ExactLimit)
                return false;
        } else if (*at == '.' && places < 0) {
            places = 0;
        } else {
            break;
        }
    }
    if (count == 0 || (at < end && (*at == 'e' || *at == 'E')) || places >= static_cast<int>(PowersOfTen.size()))
        return false;
    const double magnitude = static_cast<double>(digits) / PowersOfTen[static_cast<std::size_t>(std::max(places, 0))];
    *value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

std::optional<double> readingValue(QStringView text)
{
    const auto span = numberSpan(
        text.size(), [&](qsizetype i) { return text[i].unicode(); }, [&](qsizetype i) { return text[i].isSpace(); });
    if (!span)
        return std::nullopt;
    // What was scanned is plain ASCII.
    const QStringView number = text.mid(span->first, span->second - span->first);
    std::array<char, 64> buffer{};
    QByteArray longNumber;
    const char *first = buffer.data();
    if (number.size() <= static_cast<qsizetype>(buffer.size())) {
        for (qsizetype k = 0; k < number.size(); ++k)
            buffer.at(static_cast<std::size_t>(k)) = static_cast<char>(number[k].unicode());
    } else {
        longNumber = number.toLatin1();
        first = longNumber.constData();
    }
    return asciiNumber(first, first + number.size());
}

std::optional<double> readingValue(QByteArrayView utf8)
{
    std::optional<double> value;
    if (plainReading(utf8, &value))
        return value;
    qsizetype lead = 0;
    while (lead < utf8.size() && isAsciiSpace(utf8[lead]))
        ++lead;
    // Whitespace beyond ASCII (a no-break space, ...) is read as text.
    if (lead < utf8.size() && static_cast<unsigned char>(utf8[lead]) >= 0x80)
        return readingValue(QString::fromUtf8(utf8));
    const auto span = numberSpan(
        utf8.size(), [&](qsizetype i) { return static_cast<char16_t>(static_cast<unsigned char>(utf8[i])); },
        [&](qsizetype i) { return isAsciiSpace(utf8[i]); });
    if (!span)
        return std::nullopt;
    return asciiNumber(utf8.data() + span->first, utf8.data() + span->second);
}

double plotValue(QStringView text)
{
    return readingValue(text).value_or(std::numeric_limits<double>::quiet_NaN());
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString clockText(double days)
{
    const double total = std::fabs(days) * SecondsPerDay;
    if (!std::isfinite(total))
        return QStringLiteral("00:00:00");
    const qint64 seconds = std::llround(std::fmod(total, double(SecondsPerDay))) % SecondsPerDay;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString readoutText(double value)
{
    return QString::number(value, 'G', 12);
}

QString readoutText(double value, int decimals, const QString &unit)
{
    // + 0.0 turns a rounded -0 into 0.
    const double rounded = QString::number(value, 'f', std::clamp(decimals, 0, 12)).toDouble() + 0.0;
    return readoutText(rounded) + QLatin1Char(' ') + unit;
}

int patternDecimals(const QString &pattern)
{
    const qsizetype point = pattern.indexOf(u'.');
    return point < 0 ? 0 : static_cast<int>(pattern.size() - point - 1);
}

int tickDecimals(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    const int significant = std::max(0, 1 - static_cast<int>(std::floor(std::log10(step))));
    for (int decimals = 0; decimals <= significant + 1; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return decimals;
    }
    return significant;
}

double timeTextToDays(const QString &text)
{
    const QStringList parts = text.trimmed().split(u':');
    if (parts.size() < 2 || parts.size() > 3)
        return 0;
    qint64 seconds = 0;
    const qint64 scale[3] = {3600, 60, 1};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const int value = parts.at(i).toInt(&ok);
        if (!ok || value < 0)
            return 0;
        seconds += value * scale[i];
    }
    return static_cast<double>(seconds) / SecondsPerDay;
}

} // namespace qle::graph
