#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QLineSeries;
class QScatterSeries;

namespace qle {

class GraphView;

// What the graph shows beside the traces: a mark along its top for each
// event of the recording, its text on hover, and a dashed line for each
// limit of a voltage or current.
class GraphMarks final : public QObject {
    Q_OBJECT
public:
    struct Event {
        double days = 0; // on the time axis, from the recording's start
        QString text;
    };
    struct LimitLine {
        bool current = false; // on the current axis, else the voltage axis
        double value = 0;
        QString text;
    };

    explicit GraphMarks(GraphView &view);

    void setEvents(const QList<Event> &events);
    void setLimits(const QList<LimitLine> &limits);
    [[nodiscard]] const QList<Event> &events() const { return m_events; }
    [[nodiscard]] QScatterSeries *eventSeries() const { return m_eventSeries; }
    [[nodiscard]] const QList<QLineSeries *> &limitSeries() const { return m_limitSeries; }
    // The texts of the events nearest to `days` (several at one time).
    [[nodiscard]] QString textAt(double days) const;

private:
    void placeEvents();
    void spanLimits();

    GraphView &m_view;
    QScatterSeries *m_eventSeries;
    QList<QLineSeries *> m_limitSeries;
    QList<Event> m_events;
    QList<LimitLine> m_limits;
};

} // namespace qle
