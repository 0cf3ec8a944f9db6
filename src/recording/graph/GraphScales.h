#pragma once

#include <QString>
#include <QStringList>

#include <span>

// The choices of the graph's axes: the time-length list, which depends on
// the time slice, and the voltage and current ranges.
namespace qle::graph {

// One entry of the time-length list and what it does to the time axis.
struct TimeLength {
    const char *entry;
    const char *caption;
    const char *labelFormat;
    int divisions;
    const char *rangeEnd; // as a time text; see rangeEndDays()
};

inline constexpr int TimeLengthCount = 5;

// "5m" .. "60m" for time slices below a minute, "1 Hr" .. "1Day" otherwise.
std::span<const TimeLength> timeLengths(int timeSliceSeconds);
QStringList timeLengthEntries(int timeSliceSeconds);
// The visible range of an entry, from 0, in days.
double rangeEndDays(const TimeLength &length);

// The time axis of a cleared graph.
inline constexpr const char *ClearedLabelFormat = "h:n:ss";

// "Default", "1 V", "5V" .. "105V".
QStringList voltageRanges();
// "Default", "0.1 A", "0.5A" .. "4.5A", "5A" .. "50A".
QStringList currentRanges();

// Seconds between two points of the graph for a sample-interval position.
int timeSlice(int position);

} // namespace qle::graph
