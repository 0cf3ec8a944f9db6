#include "PlotCursors.h"

#include "GraphView.h"

#include <QGraphicsLineItem>
#include <QCategoryAxis>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

namespace qle {
namespace {

// Above the traces.
constexpr qreal CursorZ = 20;

} // namespace

PlotCursors::PlotCursors(GraphView &view) : QObject(&view), m_view(view)
{
    for (int i = 1; i <= Count; ++i) {
        Cursor &cursor = at(i);
        cursor.plot = i == Reference ? 0 : i - 1;
        for (QGraphicsLineItem **line : {&cursor.vertical, &cursor.horizontal}) {
            *line = new QGraphicsLineItem(m_view.chart());
            (*line)->setZValue(CursorZ);
            (*line)->hide();
        }
        setColor(i, i == Reference ? QColor(128, 128, 128) : QColor(255, 0, 0));
    }
    connect(m_view.chart(), &QChart::plotAreaChanged, this, &PlotCursors::placeAll);
    for (QValueAxis *axis : {static_cast<QValueAxis *>(m_view.timeAxis()), m_view.voltageAxis(), m_view.currentAxis()})
        connect(axis, &QValueAxis::rangeChanged, this, &PlotCursors::placeAll);
}

PlotCursors::~PlotCursors() = default;

PlotCursors::Cursor &PlotCursors::at(int cursor)
{
    return m_cursors.at(static_cast<std::size_t>(cursor - 1));
}

const PlotCursors::Cursor &PlotCursors::at(int cursor) const
{
    return m_cursors.at(static_cast<std::size_t>(cursor - 1));
}

void PlotCursors::setVisible(int cursor, bool visible)
{
    Cursor &c = at(cursor);
    c.visible = visible;
    place(c);
}

bool PlotCursors::isVisible(int cursor) const
{
    return at(cursor).visible;
}

void PlotCursors::hideFirst(int last)
{
    for (int i = 1; i <= last && i <= Count; ++i)
        setVisible(i, false);
}

void PlotCursors::setPosition(int cursor, QPointF value)
{
    Cursor &c = at(cursor);
    c.value = value;
    place(c);
}

QPointF PlotCursors::position(int cursor) const
{
    return at(cursor).value;
}

void PlotCursors::attach(int cursor, int plot)
{
    Cursor &c = at(cursor);
    c.plot = plot;
    place(c);
}

int PlotCursors::plotOf(int cursor) const
{
    return at(cursor).plot;
}

void PlotCursors::setColor(int cursor, const QColor &color)
{
    Cursor &c = at(cursor);
    const QPen pen(color, 1, cursor == Reference ? Qt::DashLine : Qt::SolidLine);
    c.vertical->setPen(pen);
    c.horizontal->setPen(pen);
}

QColor PlotCursors::color(int cursor) const
{
    return at(cursor).vertical->pen().color();
}

// The cross spans the plot area through the cursor's point.
void PlotCursors::place(Cursor &cursor)
{
    const QRectF area = m_view.chart()->plotArea();
    const QPointF point = m_view.chart()->mapToPosition(cursor.value, m_view.series(cursor.plot));
    const bool inside = cursor.visible && area.contains(point);
    cursor.vertical->setLine(point.x(), area.top(), point.x(), area.bottom());
    cursor.horizontal->setLine(area.left(), point.y(), area.right(), point.y());
    cursor.vertical->setVisible(inside);
    cursor.horizontal->setVisible(inside);
}

void PlotCursors::placeAll()
{
    for (Cursor &cursor : m_cursors)
        place(cursor);
}

} // namespace qle
