#pragma once

#include <QByteArray>

#include <optional>

namespace psusim {

// Numbers on the wire always use a point as decimal separator, whatever the
// host's locale is.

// A decimal number such as "12.5", "5.", ".25", "+3", "1e1"; surrounding blanks
// are allowed. Anything else (a comma, a unit, "nan") gives nullopt.
std::optional<double> parseDecimal(const QByteArray &text);

// A whole number ("3", "+3", "3.0"); nullopt for fractions or junk.
std::optional<int> parseWholeNumber(const QByteArray &text);

// "0"/"1"/"OFF"/"ON" (any case).
std::optional<bool> parseSwitch(const QByteArray &text);

// Three decimals, point separator: 12 -> "12.000".
QByteArray formatFixed3(double value);

} // namespace psusim
