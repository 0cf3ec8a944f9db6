#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;
class QPrinter;

namespace qle {

class GraphView;

// What goes on the page besides the graph.
struct PrintSheet {
    QString header;         // one line above the graph
    QStringList statistics; // the statistics list, below it
    struct Trace {
        int plot = 0; // 0..5, as the graph numbers them
        QString caption;
    };
    QList<Trace> legend; // the traces shown, with their line styles
    QStringList events;  // the recording's events, one a line, on the pages after the graph
};

// Prints the graph on one landscape page filling its printable area: the
// header line on top, the graph, then the statistics and the legend. The
// graph is laid out afresh for its place on the page, its text at the size
// it has on screen and never stretched. Black on white, grey grids, no frame, the traces keeping their line styles,
// drawn as vectors. The graph's screen look is back when this returns,
// whatever happened. False on a printer error, *error then holds its
// description.
bool printGraph(GraphView &graph, QPrinter &printer, const PrintSheet &sheet, QString *error);

// Where the graph goes on a printable area of the given size, with room for
// `headerLines` above and `footerLines` below, each `lineHeight` high.
[[nodiscard]] QRectF graphBox(const QRectF &area, double lineHeight, int headerLines, int footerLines);

} // namespace qle
