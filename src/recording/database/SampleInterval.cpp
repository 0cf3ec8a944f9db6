#include "SampleInterval.h"

#include <array>

namespace qle::sampleinterval {
namespace {

struct Interval {
    const char *label;
    int seconds;
};

constexpr std::array<Interval, PositionCount> Intervals{{
    {"1 second", 1},
    {"2 seconds", 2},
    {"5 seconds", 5},
    {"10 seconds", 10},
    {"30 seconds", 30},
    {"1 min", 60},
    {"5 mins", 300},
    {"10 mins", 600},
    {"30 mins", 1800},
    {"1 Hour", 3600},
}};

} // namespace

QStringList labels()
{
    QStringList result;
    for (const Interval &interval : Intervals)
        result.append(QString::fromLatin1(interval.label));
    return result;
}

int seconds(int position)
{
    if (position < 0 || position >= PositionCount)
        return 2;
    return Intervals.at(static_cast<std::size_t>(position)).seconds;
}

} // namespace qle::sampleinterval
