#include "PlotCursors.h"

#include "GraphView.h"

#include <QCategoryAxis>
#include <QGraphicsLineItem>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace qle {
namespace {

// Above the traces.
constexpr qreal CursorZ = 20;
// How far from a cursor's line, in pixels, a press still takes it.
constexpr qreal GrabDistance = 6;

// The index nearest to `wanted` within [first, end] that holds a reading (a
// gap has no value to show), or -1 when there is none.
double nearestReading(std::span<const double> points, double wanted, double first, double end)
{
    for (double distance = 0; wanted - distance >= first || wanted + distance <= end; ++distance)
        for (const double candidate : {wanted - distance, wanted + distance})
            if (candidate >= first && candidate <= end && std::isfinite(points[static_cast<std::size_t>(candidate)]))
                return candidate;
    return -1;
}

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

void PlotCursors::setDragEnabled(bool enabled)
{
    if (enabled == m_dragEnabled)
        return;
    m_dragEnabled = enabled;
    m_dragged = 0;
    QWidget *viewport = m_view.viewport();
    m_viewport = viewport;
    if (enabled) {
        viewport->installEventFilter(this);
        viewport->setMouseTracking(true);
    } else {
        viewport->removeEventFilter(this);
        viewport->unsetCursor();
    }
}

int PlotCursors::cursorAt(QPointF viewPoint) const
{
    const QPointF scene = m_view.mapToScene(viewPoint.toPoint());
    int nearest = 0;
    qreal best = GrabDistance + 1;
    for (int i = 1; i <= Count; ++i) {
        const Cursor &c = at(i);
        if (!c.visible || !c.vertical->isVisible())
            continue;
        const qreal distance = std::abs(c.vertical->line().x1() - scene.x());
        // The reference cursor lies under the channel cursor it starts on;
        // on a tie the channel cursor is taken.
        if (distance <= GrabDistance && distance < best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

void PlotCursors::dragTo(int cursor, QPointF viewPoint)
{
    if (cursor < 1 || cursor > Count)
        return;
    Cursor &c = at(cursor);
    QChart *chart = m_view.chart();
    const QRectF area = chart->plotArea();
    QPointF scene = m_view.mapToScene(viewPoint.toPoint());
    scene.setX(std::clamp(scene.x(), area.left(), area.right()));
    scene.setY(std::clamp(scene.y(), area.top(), area.bottom()));
    QPointF value = chart->mapToValue(scene, m_view.series(c.plot));

    // Onto the nearest stored point of the trace within the visible times.
    const std::span<const double> points = m_view.values(c.plot);
    const double step = m_view.timeStep();
    if (!points.empty() && step > 0) {
        const auto last = static_cast<double>(points.size() - 1);
        const double first = std::max(0.0, std::ceil(m_view.timeMin() / step - 1e-9));
        const double end = std::min(last, std::floor(m_view.timeMax() / step + 1e-9));
        if (first <= end) {
            const double index =
                nearestReading(points, std::clamp(std::round(value.x() / step), first, end), first, end);
            if (index >= 0)
                value = QPointF(index * step, points[static_cast<std::size_t>(index)]);
        }
    }
    if (value == c.value)
        return;
    c.value = value;
    place(c);
    emit cursorMoved(cursor);
}

bool PlotCursors::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_dragEnabled || watched != m_viewport.data())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_dragged = cursorAt(mouse->position());
        if (m_dragged == 0)
            break;
        dragTo(m_dragged, mouse->position());
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_dragged != 0) {
            dragTo(m_dragged, mouse->position());
            return true;
        }
        if (cursorAt(mouse->position()) != 0)
            m_viewport->setCursor(Qt::SizeHorCursor);
        else
            m_viewport->unsetCursor();
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_dragged != 0 && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_dragged = 0;
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PlotCursors::placeAll()
{
    for (Cursor &cursor : m_cursors)
        place(cursor);
}

} // namespace qle
