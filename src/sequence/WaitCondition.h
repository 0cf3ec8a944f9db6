#pragma once

#include "Program.h"

#include <QString>

#include <optional>

namespace qle {
struct ChannelState;
}

namespace qle::sequence {

// The value a `wait until` compares, from readings that arrived after
// `freshAfterMs` (monotonic ms); nothing while one it needs is missing or older.
std::optional<double> conditionValue(const WaitUntilStep &until, const ChannelState &state, qint64 freshAfterMs);
bool conditionMet(const WaitUntilStep &until, double value);
// "ch1 current < 0.05 A", "ch2 voltage = 12 V +- 0.05 V".
QString describeCondition(const WaitUntilStep &until);
// The channel's readings as last read: "4.998 V, 0.4998 A, 2.498 W".
QString describeReadings(const ChannelState &state);

} // namespace qle::sequence
