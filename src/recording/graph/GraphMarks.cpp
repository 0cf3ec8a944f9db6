#include "GraphMarks.h"

#include "GraphView.h"

#include <QCategoryAxis>
#include <QCursor>
#include <QLineSeries>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

#include <cmath>

namespace qle {
namespace {

const QColor EventColor(200, 60, 0);
const QColor LimitColor(200, 0, 0);

} // namespace

GraphMarks::GraphMarks(GraphView &view) : QObject(&view), m_view(view), m_eventSeries(new QScatterSeries(view.chart()))
{
    m_eventSeries->setObjectName("EventMarks");
    m_eventSeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_eventSeries->setMarkerSize(8);
    m_eventSeries->setColor(EventColor);
    m_eventSeries->setBorderColor(EventColor);
    view.chart()->addSeries(m_eventSeries);
    m_eventSeries->attachAxis(view.timeAxis());
    m_eventSeries->attachAxis(view.voltageAxis());
    connect(m_eventSeries, &QScatterSeries::hovered, this, [this](const QPointF &point, bool entered) {
        if (entered)
            QToolTip::showText(QCursor::pos(), textAt(point.x()), &m_view);
        else
            QToolTip::hideText();
    });
    // The marks stay along the top whatever the voltage range.
    connect(view.voltageAxis(), &QValueAxis::rangeChanged, this, &GraphMarks::placeEvents);
    connect(view.timeAxis(), &QValueAxis::rangeChanged, this, &GraphMarks::spanLimits);
}

void GraphMarks::setEvents(const QList<Event> &events)
{
    m_events = events;
    placeEvents();
}

void GraphMarks::placeEvents()
{
    const double top = m_view.voltageAxis()->max();
    QList<QPointF> points;
    points.reserve(m_events.size());
    for (const Event &event : m_events)
        points.append({event.days, top});
    m_eventSeries->replace(points);
}

QString GraphMarks::textAt(double days) const
{
    // Events closer together than a marker's width answer together.
    const double slack = std::abs(m_view.timeMax() - m_view.timeMin()) / std::max(1, m_view.plotColumns()) * 4;
    QStringList texts;
    for (const Event &event : m_events)
        if (std::abs(event.days - days) <= slack)
            texts.append(event.text);
    return texts.join(u'\n');
}

void GraphMarks::setLimits(const QList<LimitLine> &limits)
{
    for (QLineSeries *series : std::as_const(m_limitSeries)) {
        m_view.chart()->removeSeries(series);
        delete series;
    }
    m_limitSeries.clear();
    for (const LimitLine &limit : limits) {
        auto *series = new QLineSeries(m_view.chart());
        series->setObjectName("LimitLine");
        series->setName(limit.text);
        QPen pen(LimitColor, 1);
        pen.setStyle(Qt::DashLine);
        series->setPen(pen);
        m_view.chart()->addSeries(series);
        series->attachAxis(m_view.timeAxis());
        series->attachAxis(limit.current ? m_view.currentAxis() : m_view.voltageAxis());
        m_limitSeries.append(series);
    }
    m_limits = limits;
    spanLimits();
}

void GraphMarks::spanLimits()
{
    // Across the time shown only: a painter drops lines whose ends lie far
    // outside the picture.
    const double from = m_view.timeMin();
    const double to = m_view.timeMax();
    for (qsizetype i = 0; i < m_limitSeries.size() && i < m_limits.size(); ++i)
        m_limitSeries.at(i)->replace({{from, m_limits.at(i).value}, {to, m_limits.at(i).value}});
}

} // namespace qle
