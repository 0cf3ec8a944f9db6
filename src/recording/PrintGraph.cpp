#include "PrintGraph.h"

#include "GraphView.h"

#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

namespace qle {
namespace {

// Puts the screen look back when printing ends, on every path.
class ScreenLook {
public:
    explicit ScreenLook(GraphView &graph) : m_graph(graph), m_look(graph.look()) {}
    ~ScreenLook() { m_graph.setLook(m_look); }
    ScreenLook(const ScreenLook &) = delete;
    ScreenLook &operator=(const ScreenLook &) = delete;

    [[nodiscard]] const GraphView::Look &look() const { return m_look; }

private:
    GraphView &m_graph;
    GraphView::Look m_look;
};

// What failed, naming the file or the printer.
QString printerError(const QPrinter &printer)
{
    if (!printer.outputFileName().isEmpty())
        return QStringLiteral("Cannot write the file ") + QDir::toNativeSeparators(printer.outputFileName());
    return QStringLiteral("The printer ") + printer.printerName() + QStringLiteral(" did not take the document");
}

} // namespace

QRectF printBox(const QRectF &page)
{
    return QRectF(page.left() + 0.1 * page.width(), page.top() + 0.1 * page.height(), 0.4 * page.width(),
                  0.4 * page.height());
}

bool printGraph(GraphView &graph, QPrinter &printer, QString *error)
{
    printer.setPageOrientation(QPageLayout::Landscape);
    // Page fractions are taken of the whole sheet, not of its printable part.
    printer.setFullPage(true);
    graph.redrawNow();

    const ScreenLook screen(graph);
    graph.setLook(GraphView::printLook(screen.look()));

    QPainter painter;
    if (!painter.begin(&printer)) {
        *error = printerError(printer);
        return false;
    }
    const QRectF page = printer.pageLayout().fullRectPixels(printer.resolution());
    graph.render(&painter, printBox(QRectF(QPointF(0, 0), page.size())), graph.viewport()->rect(),
                 Qt::IgnoreAspectRatio);
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        *error = printerError(printer);
        return false;
    }
    return true;
}

} // namespace qle
