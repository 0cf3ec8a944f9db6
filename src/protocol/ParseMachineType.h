#pragma once

#include <QString>

namespace qle {

// The model name out of an identification reply: the second comma-separated
// field, or the third space-separated word, commas and spaces counted together.
// Empty when the reply ends first.
QString ParseMachineType(const QString &reply);

// The serial number out of a comma-separated identification reply
// ("MAKER,MODEL,SERIAL,FIRMWARE"), trimmed; empty when the reply has no
// third field.
QString ParseSerialNumber(const QString &reply);

} // namespace qle
