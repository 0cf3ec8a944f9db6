#include "PlotReducer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

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
    const auto value = [&](qsizetype i) { return values[static_cast<std::size_t>(i)]; };
    const auto readable = [&](qsizetype i) { return std::isfinite(value(i)); };
    const auto at = [&](qsizetype i) { return QPointF(x0 + static_cast<double>(i) * dx, value(i)); };
    // One separator between two pieces of the line, however long the gap.
    const auto breakLine = [&](qsizetype i) {
        if (!points.isEmpty() && !std::isnan(points.last().y()))
            points.append(QPointF(x0 + static_cast<double>(i) * dx, std::numeric_limits<double>::quiet_NaN()));
    };

    if (first > last) {
        // No point inside: the line still crosses the range between its neighbours.
        if (first > 0 && first < count && readable(first - 1) && readable(first)) {
            points.append(at(first - 1));
            points.append(at(first));
        }
        return points;
    }

    points.reserve(std::min<qsizetype>(last - first + 3, 4 * qsizetype{columns} + 2));
    if (first > 0 && readable(first - 1))
        points.append(at(first - 1));

    const double columnsPerX = columns / (range.xMax - range.xMin);
    const auto columnOf = [&](qsizetype i) {
        const double column = std::floor((x0 + static_cast<double>(i) * dx - range.xMin) * columnsPerX);
        return static_cast<int>(std::clamp(column, 0.0, static_cast<double>(columns - 1)));
    };

    qsizetype begin = first;
    while (begin <= last) {
        if (!readable(begin)) {
            breakLine(begin);
            ++begin;
            continue;
        }
        const int column = columnOf(begin);
        qsizetype end = begin;
        qsizetype lowest = begin;
        qsizetype highest = begin;
        while (end + 1 <= last && readable(end + 1) && columnOf(end + 1) == column) {
            ++end;
            if (value(end) < value(lowest))
                lowest = end;
            if (value(end) > value(highest))
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

    if (last + 1 < count && readable(last + 1))
        points.append(at(last + 1));
    while (!points.isEmpty() && std::isnan(points.last().y()))
        points.removeLast();
    return points;
}

} // namespace qle
