#include "GraphScales.h"

#include "GraphFormat.h"
#include "recording/database/SampleInterval.h"

#include <array>

namespace qle::graph {
namespace {

constexpr std::array<TimeLength, TimeLengthCount> ShortLengths{{
    {"5m", "Elapsed Time [Sec]", "h:n:ss", 5, "0:5:00"},
    {"10m", "Elapsed Time [Sec]", "h:n:ss", 5, "0:10:00"},
    {"20m", "Elapsed Time [Sec]", "h:n:ss", 5, "0:20:00"},
    {"30m", "Elapsed Time [Sec]", "h:n:ss", 5, "0:30:00"},
    {"60m", "Elapsed Time [Sec]", "h:n:ss", 6, "1:0:00"},
}};

constexpr std::array<TimeLength, TimeLengthCount> LongLengths{{
    {"1 Hr", "Elapsed Time [min]", "h:nn", 6, "1:00"},
    {"3 Hr", "Elapsed Time [min]", "h:nn", 6, "3:00"},
    {"6 Hr", "Elapsed Time [Min]", "h:nn", 6, "6:00"},
    {"12Hr", "Elapsed Time [Min]", "h:nn", 6, "12:00"},
    // A day shown on a time-of-day scale ends a minute before midnight.
    {"1Day", "Elapsed Time [Min]", "hh:nn", 6, "23:59"},
}};

} // namespace

std::span<const TimeLength> timeLengths(int timeSliceSeconds)
{
    if (timeSliceSeconds < 60)
        return ShortLengths;
    return LongLengths;
}

QStringList timeLengthEntries(int timeSliceSeconds)
{
    QStringList entries;
    for (const TimeLength &length : timeLengths(timeSliceSeconds))
        entries.append(QString::fromLatin1(length.entry));
    return entries;
}

double rangeEndDays(const TimeLength &length)
{
    return timeTextToDays(QString::fromLatin1(length.rangeEnd));
}

QStringList voltageRanges()
{
    QStringList entries{QStringLiteral("Default"), QStringLiteral("1 V")};
    for (int volts = 5; volts <= 105; volts += 5)
        entries.append(QString::number(volts) + QLatin1Char('V'));
    return entries;
}

QStringList currentRanges()
{
    QStringList entries{QStringLiteral("Default"), QStringLiteral("0.1 A")};
    for (int tenths = 5; tenths <= 45; tenths += 5)
        entries.append(numberText(tenths / 10.0) + QLatin1Char('A'));
    for (int amps = 5; amps <= 50; amps += 5)
        entries.append(QString::number(amps) + QLatin1Char('A'));
    return entries;
}

int timeSlice(int position)
{
    return sampleinterval::seconds(position);
}

} // namespace qle::graph
