#include "Units.h"

#include "platform/FormatPattern.h"

#include <QRegularExpression>

#include <cmath>

namespace qle::sequence {
namespace {

struct Unit {
    Dimension dimension;
    const char *name;
    double scale;
};

constexpr Unit Units[] = {
    {Dimension::Voltage, "V", 1},     {Dimension::Voltage, "mV", 1e-3}, {Dimension::Current, "A", 1},
    {Dimension::Current, "mA", 1e-3}, {Dimension::Power, "W", 1},       {Dimension::Power, "mW", 1e-3},
    {Dimension::Time, "ms", 1e-3},    {Dimension::Time, "s", 1},        {Dimension::Time, "sec", 1},
    {Dimension::Time, "m", 60},       {Dimension::Time, "min", 60},     {Dimension::Time, "h", 3600},
};

} // namespace

std::optional<double> unitScale(Dimension dimension, const QString &unit)
{
    for (const Unit &known : Units) {
        if (known.dimension == dimension && unit.compare(QLatin1String(known.name), Qt::CaseInsensitive) == 0)
            return known.scale;
    }
    return std::nullopt;
}

bool isUnit(const QString &word)
{
    for (const Unit &known : Units) {
        if (word.compare(QLatin1String(known.name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString unitChoices(Dimension dimension)
{
    switch (dimension) {
    case Dimension::Voltage:
        return QStringLiteral("V or mV");
    case Dimension::Current:
        return QStringLiteral("A or mA");
    case Dimension::Power:
        return QStringLiteral("W or mW");
    case Dimension::Time:
        break;
    }
    return QStringLiteral("ms, s, m or h");
}

QString dimensionName(Dimension dimension)
{
    switch (dimension) {
    case Dimension::Voltage:
        return QStringLiteral("a voltage");
    case Dimension::Current:
        return QStringLiteral("a current");
    case Dimension::Power:
        return QStringLiteral("a power");
    case Dimension::Time:
        break;
    }
    return QStringLiteral("a time");
}

QString baseUnit(Dimension dimension)
{
    switch (dimension) {
    case Dimension::Voltage:
        return QStringLiteral("V");
    case Dimension::Current:
        return QStringLiteral("A");
    case Dimension::Power:
        return QStringLiteral("W");
    case Dimension::Time:
        break;
    }
    return QStringLiteral("s");
}

std::optional<double> readDuration(const QString &text)
{
    // The longer unit names first, so that "ms" is not read as "m".
    static const QRegularExpression piece(QStringLiteral("(\\d+(?:\\.\\d*)?|\\.\\d+)(ms|sec|min|s|m|h)"),
                                          QRegularExpression::CaseInsensitiveOption);
    double seconds = 0;
    qsizetype at = 0;
    while (at < text.size()) {
        const QRegularExpressionMatch match =
            piece.match(text, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch())
            return std::nullopt;
        bool ok = false;
        const double number = ReadNumber(match.captured(1), &ok);
        if (!ok)
            return std::nullopt;
        seconds += number * *unitScale(Dimension::Time, match.captured(2));
        at = match.capturedEnd();
    }
    if (text.isEmpty())
        return std::nullopt;
    return seconds;
}

QString formatDuration(double seconds)
{
    if (seconds < 1)
        return QStringLiteral("%1 ms").arg(std::llround(seconds * 1000));
    if (seconds < 60)
        return QString::number(std::round(seconds * 1000) / 1000, 'g', 6) + QStringLiteral(" s");
    const qint64 whole = std::llround(seconds);
    const qint64 hours = whole / 3600;
    const qint64 minutes = whole % 3600 / 60;
    const qint64 rest = whole % 60;
    QStringList parts;
    if (hours > 0)
        parts << QStringLiteral("%1 h").arg(hours);
    if (minutes > 0 || (hours > 0 && rest > 0))
        parts << QStringLiteral("%1 min").arg(minutes);
    if (rest > 0)
        parts << QStringLiteral("%1 s").arg(rest);
    return parts.join(u' ');
}

QString formatQuantity(double value, Dimension dimension)
{
    return QString::number(value, 'g', 6) + u' ' + baseUnit(dimension);
}

} // namespace qle::sequence
