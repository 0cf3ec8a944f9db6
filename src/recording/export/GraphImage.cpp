#include "GraphImage.h"

#include "recording/graph/GraphView.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace qle {
namespace {

QString cannotWrite(const QString &path)
{
    return QStringLiteral("Cannot write the file ") + QDir::toNativeSeparators(path);
}

// Draws the graph laid out afresh over the whole of `target`, one pixel a
// pixel of the screen: at another shape than the screen's its text keeps
// its proportions.
bool draw(GraphView &graph, QPaintDevice &device, const QRectF &target)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    graph.renderLaidOut(painter, target, 1.0);
    return painter.end();
}

} // namespace

bool saveGraphImage(GraphView &graph, const QString &path, QSize size, QString *error)
{
    graph.redrawNow();
    size = size.expandedTo(QSize(1, 1));
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool written = false;
    if (suffix == QLatin1String("png")) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        written = draw(graph, image, QRectF(QPointF(0, 0), size)) && image.save(path, "PNG");
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("Graphic Record"));
        written = draw(graph, svg, QRectF(QPointF(0, 0), size)) && QFileInfo(path).size() > 0;
    } else if (suffix == QLatin1String("pdf")) {
        // One page of the picture's size, one pixel a point.
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72);
        written = draw(graph, pdf, QRectF(QPointF(0, 0), size)) && QFileInfo(path).size() > 0;
    } else {
        *error = QStringLiteral("Choose a file ending in .png, .svg or .pdf: ") + QDir::toNativeSeparators(path);
        return false;
    }
    if (!written)
        *error = cannotWrite(path);
    return written;
}

} // namespace qle
