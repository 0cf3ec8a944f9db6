#include "PrintGraph.h"

#include "recording/graph/GraphView.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace qle {
namespace {

// The statistics go in columns of this many lines.
constexpr int StatisticsRows = 3;
constexpr double LegendLineEm = 3.0; // sample line length, in line heights

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

int statisticsColumns(const PrintSheet &sheet)
{
    return static_cast<int>((sheet.statistics.size() + StatisticsRows - 1) / StatisticsRows);
}

void drawStatistics(QPainter &painter, const PrintSheet &sheet, const QRectF &box, double lineHeight)
{
    const int columns = std::max(1, statisticsColumns(sheet));
    const double width = box.width() / columns;
    for (qsizetype i = 0; i < sheet.statistics.size(); ++i) {
        const auto column = static_cast<double>(i / StatisticsRows);
        const auto row = static_cast<double>(i % StatisticsRows);
        painter.drawText(QRectF(box.left() + column * width, box.top() + row * lineHeight, width, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, sheet.statistics.at(i));
    }
}

void drawLegend(QPainter &painter, const PrintSheet &sheet, const QPointF &at, double lineHeight, double penWidth)
{
    double x = at.x();
    const double y = at.y() + lineHeight / 2;
    for (const PrintSheet::Trace &trace : sheet.legend) {
        painter.setPen(QPen(Qt::black, penWidth, GraphView::lineStyle(trace.plot), Qt::FlatCap));
        painter.drawLine(QPointF(x, y), QPointF(x + LegendLineEm * lineHeight, y));
        x += (LegendLineEm + 0.5) * lineHeight;
        painter.setPen(Qt::black);
        const double textWidth = painter.fontMetrics().horizontalAdvance(trace.caption);
        painter.drawText(QRectF(x, at.y(), textWidth + 1, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, trace.caption);
        x += textWidth + 1.5 * lineHeight;
    }
}

// The events on pages of their own after the graph, each headed like the
// graph's page.
bool drawEventPages(QPainter &painter, QPrinter &printer, const PrintSheet &sheet, const QRectF &area,
                    double lineHeight)
{
    const int perPage = std::max(1, static_cast<int>(area.height() / lineHeight) - 2);
    for (qsizetype first = 0; first < sheet.events.size(); first += perPage) {
        if (!printer.newPage())
            return false;
        painter.drawText(QRectF(area.left(), area.top(), area.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Events    ") + sheet.header);
        const qsizetype last = std::min<qsizetype>(sheet.events.size(), first + perPage);
        for (qsizetype i = first; i < last; ++i)
            painter.drawText(QRectF(area.left(), area.top() + static_cast<double>(i - first + 2) * lineHeight,
                                    area.width(), lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, sheet.events.at(i));
    }
    return true;
}

} // namespace

QRectF graphBox(const QRectF &area, double lineHeight, int headerLines, int footerLines)
{
    const double top = area.top() + (headerLines + 0.5) * lineHeight;
    const double bottom = area.bottom() - (footerLines + 0.5) * lineHeight;
    return QRectF(area.left(), top, area.width(), std::max(0.0, bottom - top));
}

bool printGraph(GraphView &graph, QPrinter &printer, const PrintSheet &sheet, QString *error)
{
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setFullPage(false);
    graph.redrawNow();

    const ScreenLook screen(graph);
    graph.setLook(GraphView::printLook(screen.look()));

    QPainter painter;
    if (!painter.begin(&printer)) {
        *error = printerError(printer);
        return false;
    }
    const QRectF area(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    const double lineHeight = QFontMetricsF(painter.font()).height() * 1.3;
    const int footerLines =
        std::min<int>(StatisticsRows, static_cast<int>(sheet.statistics.size())) + (sheet.legend.isEmpty() ? 0 : 1);
    const QRectF box = graphBox(area, lineHeight, 1, footerLines);

    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     sheet.header);
    // Laid out afresh for the page: the graph's text as large on paper as
    // it is on screen, not stretched to the page's shape.
    graph.renderLaidOut(painter, box, printer.resolution() / static_cast<double>(graph.logicalDpiY()));
    const double footerTop = box.bottom() + 0.5 * lineHeight;
    drawStatistics(painter, sheet, QRectF(area.left(), footerTop, area.width(), StatisticsRows * lineHeight),
                   lineHeight);
    const double statisticsHeight =
        std::min<int>(StatisticsRows, static_cast<int>(sheet.statistics.size())) * lineHeight;
    drawLegend(painter, sheet, QPointF(area.left(), footerTop + statisticsHeight), lineHeight,
               std::max(1.0, printer.resolution() / 96.0));
    painter.setPen(Qt::black);
    const bool eventsDrawn = drawEventPages(painter, printer, sheet, area, lineHeight);
    if (!painter.end() || !eventsDrawn || printer.printerState() == QPrinter::Error) {
        *error = printerError(printer);
        return false;
    }
    return true;
}

} // namespace qle
