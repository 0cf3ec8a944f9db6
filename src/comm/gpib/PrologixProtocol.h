#pragma once

#include <QByteArray>

#include <optional>

namespace qle::prologix {

// What goes over the wire to a Prologix GPIB-USB or GPIB-ETHERNET controller.
// Lines starting with "++" are for the controller; every other line is sent
// to the instrument at the current address.

// The text with ESC in front of each CR, LF, ESC and '+', so that the
// controller passes them to the instrument instead of acting on them.
[[nodiscard]] QByteArray escaped(const QByteArray &text);
// One message for the instrument: the escaped text and the LF that ends it on
// the wire. The controller adds nothing (eos 3) and marks the last byte with EOI.
[[nodiscard]] QByteArray dataLine(const QByteArray &text);
// Controller mode, no automatic read after each message, EOI on the last
// byte, no end-of-send characters, the instrument's primary address.
[[nodiscard]] QByteArray setupCommands(int address);

inline constexpr char ReadCommand[] = "++read eoi\n"; // read until the instrument's EOI
inline constexpr char VersionCommand[] = "++ver\n";
inline constexpr char ClearCommand[] = "++clr\n"; // selected device clear

// Removes and returns the first line of buffer, its LF included; nothing
// while no LF has arrived.
std::optional<QByteArray> takeLine(QByteArray &buffer);

} // namespace qle::prologix
