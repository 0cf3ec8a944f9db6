#include "WaitCondition.h"

#include "instrument/Instrument.h"
#include "Units.h"

#include <cmath>

namespace qle::sequence {
namespace {

Dimension dimensionOf(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Voltage:
        return Dimension::Voltage;
    case Quantity::Current:
        return Dimension::Current;
    case Quantity::Power:
        break;
    }
    return Dimension::Power;
}

std::optional<double> fresh(const std::optional<qle::Reading> &reading, qint64 freshAfterMs)
{
    if (!reading || reading->atMs <= freshAfterMs)
        return std::nullopt;
    return reading->value;
}

} // namespace

std::optional<double> conditionValue(const WaitUntilStep &until, const ChannelState &state, qint64 freshAfterMs)
{
    const std::optional<double> voltage = fresh(state.voltage, freshAfterMs);
    const std::optional<double> current = fresh(state.current, freshAfterMs);
    switch (until.quantity) {
    case Quantity::Voltage:
        return voltage;
    case Quantity::Current:
        return current;
    case Quantity::Power:
        break;
    }
    if (!voltage || !current)
        return std::nullopt;
    return *voltage * *current;
}

bool conditionMet(const WaitUntilStep &until, double value)
{
    switch (until.comparison) {
    case Comparison::Below:
        return value < until.value;
    case Comparison::Above:
        return value > until.value;
    case Comparison::Within:
        break;
    }
    // A little slack for the binary fractions of decimal readings.
    return std::abs(value - until.value) <= until.tolerance * (1 + 1e-9) + 1e-12;
}

QString describeCondition(const WaitUntilStep &until)
{
    static const char *const names[] = {"voltage", "current", "power"};
    const Dimension dimension = dimensionOf(until.quantity);
    QString text = QStringLiteral("ch%1 %2 ").arg(until.channel + 1).arg(names[static_cast<int>(until.quantity)]);
    switch (until.comparison) {
    case Comparison::Below:
        return text + QStringLiteral("< ") + formatQuantity(until.value, dimension);
    case Comparison::Above:
        return text + QStringLiteral("> ") + formatQuantity(until.value, dimension);
    case Comparison::Within:
        break;
    }
    return text + QStringLiteral("= %1 +- %2")
                      .arg(formatQuantity(until.value, dimension), formatQuantity(until.tolerance, dimension));
}

QString describeReadings(const ChannelState &state)
{
    if (!state.voltage && !state.current)
        return QStringLiteral("no reading");
    QStringList parts;
    if (state.voltage)
        parts << formatQuantity(state.voltage->value, Dimension::Voltage);
    if (state.current)
        parts << formatQuantity(state.current->value, Dimension::Current);
    if (state.voltage && state.current)
        parts << formatQuantity(state.voltage->value * state.current->value, Dimension::Power);
    return parts.join(QStringLiteral(", "));
}

} // namespace qle::sequence
