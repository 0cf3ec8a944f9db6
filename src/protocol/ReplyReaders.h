#pragma once

#include <QChar>
#include <QString>

#include <optional>

namespace qle {

// Reading the instrument's replies, the same for every panel and the command
// line. Numbers use a point whatever the locale.

// A legacy set-value reply: the number followed by its unit letter ("12.000V").
// Empty when the letter is missing or the rest is not a number.
[[nodiscard]] std::optional<double> ReadUnitValue(const QString &text, QChar unit);

// A reading as shown: one trailing unit letter removed ("5.01V" gives "5.01").
[[nodiscard]] QString StripUnit(const QString &text, QChar unit);

// An error-queue reply that reports an error: anything not starting "0,",
// the empty reply too.
[[nodiscard]] bool IsErrorReply(const QString &text);

// A switch state ("0" off, "1" on, spaces around allowed); anything else
// tells nothing.
[[nodiscard]] std::optional<bool> ReadSwitchState(const QString &text);

// The over-current protection state: on exactly when the reply is "1".
[[nodiscard]] bool ReadProtectionFlag(const QString &text);

// A set value as the panel of `layout` sends it: the one-output panel (2)
// sends the shortest decimal form, the others "###0.###"; always a point.
[[nodiscard]] QString SetValueText(int layout, double value);

// The power of a pair of readings as shown: volts times amps with three
// decimals, a trailing unit letter allowed; empty unless both are numbers.
[[nodiscard]] QString PowerText(const QString &volts, const QString &amps);

} // namespace qle
