#pragma once

#include <QString>
#include <QStringList>

// The sample-interval list of the record settings, and the spacing both
// recorders give each position: the table recorder folds that many one-second
// ticks into one row, the graph advances that many seconds per point.
namespace qle::sampleinterval {

inline constexpr int PositionCount = 10;

// "1 second" .. "1 Hour", in list order.
QStringList labels();
// Seconds between two stored points. A position outside the list records
// every 2 seconds, as position 1 does.
int seconds(int position);
// Ticks per row minus one: the tick counter value at which a row is written.
inline int reductionLimit(int position)
{
    return seconds(position) - 1;
}

} // namespace qle::sampleinterval
