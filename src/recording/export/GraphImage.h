#pragma once

#include <QSize>
#include <QString>

namespace qle {

class GraphView;

// Saves the graph as on screen, laid out afresh at `size` (one pixel a
// screen pixel: text keeps its size and proportions whatever the shape), as
// PNG, SVG or PDF by the file's suffix. False on an unknown suffix or a file that cannot be
// written, *error then says which.
bool saveGraphImage(GraphView &graph, const QString &path, QSize size, QString *error);

} // namespace qle
