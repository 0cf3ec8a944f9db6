#pragma once

#include <QList>
#include <QPointF>

#include <span>

namespace qle {

// What a trace hands the chart: the points of the visible X range reduced to
// at most four per pixel column (the column's first, smallest, largest and
// last point, in their order), so the drawn line looks the same as with every
// point while the chart gets a few thousand points whatever the length of the
// recording. Point i of the trace lies at x = x0 + i * dx.
class PlotReducer {
public:
    struct Range {
        double xMin = 0;
        double xMax = 1;
    };

    // The reduced points of the range [xMin, xMax] spread over `columns`
    // pixel columns, plus the nearest point on each side outside the range so
    // that the line reaches the edges. A column of up to four points keeps
    // them all, so a trace of fewer points than columns comes back unchanged.
    // A value that is not finite is a gap: the line breaks there. A point
    // whose y is NaN stands between two pieces of the line, never at an end.
    static QList<QPointF> reduce(std::span<const double> values, double x0, double dx, Range range, int columns);
};

} // namespace qle
