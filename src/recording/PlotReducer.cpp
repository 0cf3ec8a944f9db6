#include "PlotReducer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qle {
namespace {

// Index bounds computed in floating point, kept inside [-1, count].
qsizetype clampIndex(double index, qsizetype count)
{
    if (!(index > -1.0))
        return -1;
    if (index > static_cast<double>(count))
        return count;
    return static_cast<qsizetype>(index);
}

} // namespace

QList<QPointF> PlotReducer::reduce(std::span<const double> values, double x0, double dx, Range range, int columns)
{
    QList<QPointF> points;
    const auto count = static_cast<qsizetype>(values.size());
    if (count == 0 || columns < 1 || !(dx > 0) || !(range.xMax > range.xMin))
        return points;

    // Tolerance for range ends that fall exactly on a point.
    constexpr double Slack = 1e-9;
    const qsizetype first = std::max<qsizetype>(0, clampIndex(std::ceil((range.xMin - x0) / dx - Slack), count));
    const qsizetype last =
        std::min<qsizetype>(count - 1, clampIndex(std::floor((range.xMax - x0) / dx + Slack), count));
    const auto at = [&](qsizetype i) {
        return QPointF(x0 + static_cast<double>(i) * dx, values[static_cast<std::size_t>(i)]);
    };

    if (first > last) {
        // No point inside: the line still crosses the range between its neighbours.
        if (first > 0 && first < count) {
            points.append(at(first - 1));
            points.append(at(first));
        }
        return points;
    }

    points.reserve(std::min<qsizetype>(last - first + 3, 4 * qsizetype{columns} + 2));
    if (first > 0)
        points.append(at(first - 1));

    const double columnsPerX = columns / (range.xMax - range.xMin);
    const auto columnOf = [&](qsizetype i) {
        const double column = std::floor((x0 + static_cast<double>(i) * dx - range.xMin) * columnsPerX);
        return static_cast<int>(std::clamp(column, 0.0, static_cast<double>(columns - 1)));
    };

    qsizetype begin = first;
    while (begin <= last) {
        const int column = columnOf(begin);
        qsizetype end = begin;
        qsizetype lowest = begin;
        qsizetype highest = begin;
        while (end + 1 <= last && columnOf(end + 1) == column) {
            ++end;
            const double value = values[static_cast<std::size_t>(end)];
            if (value < values[static_cast<std::size_t>(lowest)])
                lowest = end;
            if (value > values[static_cast<std::size_t>(highest)])
                highest = end;
        }
        if (end - begin < 4) {
            for (qsizetype i = begin; i <= end; ++i)
                points.append(at(i));
        } else {
            std::array<qsizetype, 4> kept{begin, std::min(lowest, highest), std::max(lowest, highest), end};
            const auto unique = std::unique(kept.begin(), kept.end());
            for (auto it = kept.begin(); it != unique; ++it)
                points.append(at(*it));
        }
        begin = end + 1;
    }

    if (last + 1 < count)
        points.append(at(last + 1));
    return points;
}

} // namespace qle
