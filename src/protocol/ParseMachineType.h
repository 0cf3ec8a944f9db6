#pragma once

#include <QString>

namespace qle {

// The model name out of an identification reply: the second comma-separated
// field, or the third space-separated word, commas and spaces counted together.
// Empty when the reply ends first.
QString ParseMachineType(const QString &reply);

} // namespace qle
