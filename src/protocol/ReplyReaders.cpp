#include "ReplyReaders.h"

#include "platform/FormatPattern.h"

namespace qle {

std::optional<double> ReadUnitValue(const QString &text, QChar unit)
{
    if (!text.endsWith(unit))
        return std::nullopt;
    bool ok = false;
    const double value = ReadNumber(text.chopped(1), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString StripUnit(const QString &text, QChar unit)
{
    return text.endsWith(unit) ? text.chopped(1) : text;
}

bool IsErrorReply(const QString &text)
{
    return text.left(2) != QLatin1String("0,");
}

std::optional<bool> ReadSwitchState(const QString &text)
{
    const QString word = text.trimmed();
    if (word == QLatin1String("0"))
        return false;
    if (word == QLatin1String("1"))
        return true;
    return std::nullopt;
}

bool ReadProtectionFlag(const QString &text)
{
    return text == QLatin1String("1");
}

QString SetValueText(int layout, double value)
{
    if (layout == 2)
        return QString::number(value, 'g', 15);
    return FormatPattern(value, "###0.###");
}

QString PowerText(const QString &volts, const QString &amps)
{
    bool voltsOk = false;
    bool ampsOk = false;
    const double v = ReadNumber(StripUnit(volts.trimmed(), u'V'), &voltsOk);
    const double a = ReadNumber(StripUnit(amps.trimmed(), u'A'), &ampsOk);
    if (!voltsOk || !ampsOk || volts.trimmed().isEmpty() || amps.trimmed().isEmpty())
        return {};
    return QString::number(v * a, 'f', 3);
}

} // namespace qle
