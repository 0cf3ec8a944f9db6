#pragma once

#include <QString>

#include <optional>

namespace qle::sequence {

enum class Dimension { Voltage, Current, Power, Time };

// The factor of `unit` (any case) to the base unit of `dimension`: 1 for "V",
// 0.001 for "mV", 60 for "m" of a time; nothing when it is no unit of it.
std::optional<double> unitScale(Dimension dimension, const QString &unit);
// True for a unit of any dimension.
bool isUnit(const QString &word);
// "V or mV", as an error message offers them.
QString unitChoices(Dimension dimension);
// "a voltage", "a time".
QString dimensionName(Dimension dimension);
QString baseUnit(Dimension dimension);

// A time written as parts of a number and a unit, with no space between:
// "500ms", "1.5s", "5m", "2h", "1h30m". Nothing when the text is not one.
std::optional<double> readDuration(const QString &text);
// "250 ms", "12.5 s", "2 min 5 s", "1 h 30 min".
QString formatDuration(double seconds);
// "12 V", "0.05 A", "1.5 W": the number with a point whatever the locale.
QString formatQuantity(double value, Dimension dimension);

} // namespace qle::sequence
