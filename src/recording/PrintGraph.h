#pragma once

#include <QRectF>
#include <QString>

class QPrinter;

namespace qle {

class GraphView;

// Prints the graph on one landscape page: black traces on white, grey
// grids, no frame, drawn as vectors into the box at 10 % / 10 % of the page
// with 40 % of its width and height. The graph's screen look is back when
// this returns, whatever happened. False on a printer error, *error then
// holds its description.
bool printGraph(GraphView &graph, QPrinter &printer, QString *error);

// The box the picture takes on a page of the given size.
[[nodiscard]] QRectF printBox(const QRectF &page);

} // namespace qle
