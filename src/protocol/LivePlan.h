#pragma once

#include <QList>

namespace qle {

// What one Live reply tells.
enum class LiveItem {
    MeasuredVoltage,
    MeasuredCurrent,
    OutputState,
    SetVoltage,
    SetCurrent,
    OverVoltageLevel,
    OverCurrentState,
    Coupling,
    AutoRunState,
    Memory,
    StatusWord,
    ErrorQueue,
};

// One query of a Live cycle: its index in the query table and what its reply
// is about. `channel` is 0-based; -1 for the instrument as a whole.
struct LiveQuery {
    LiveItem item = LiveItem::MeasuredVoltage;
    int channel = -1;
    int queryIndex = 0;

    friend bool operator==(const LiveQuery &, const LiveQuery &) = default;
};

// The queries of Live polling and how they are spread over periods. Every
// cycle holds all measurements (while measuring) and the state queries that
// must be watched every time (output state); the remaining state queries take
// turns, as many per cycle as fit into the period on the link.
class LivePlan {
public:
    // The share of a period one cycle may fill; the rest absorbs jitter.
    static constexpr double PeriodShare = 0.7;

    LivePlan() = default;
    LivePlan(QList<LiveQuery> measurements, QList<LiveQuery> everyCycle, QList<LiveQuery> rotating);

    // Fits the rotating share to the period, given what one exchange costs
    // on the link. An unknown cost (0 or less) takes every state query.
    void fitToPeriod(int periodMs, double msPerExchange);
    // The next cycle, measurements first; advances the rotation.
    [[nodiscard]] QList<LiveQuery> nextCycle(bool measuring);

    [[nodiscard]] int rotatingPerCycle() const { return m_slice; }
    // Exchanges of the shortest cycle fitToPeriod can make: the fixed
    // queries and one rotating state query.
    [[nodiscard]] int shortestCycle(bool measuring) const;
    [[nodiscard]] int rotatingCount() const { return static_cast<int>(m_rotating.size()); }
    [[nodiscard]] const QList<LiveQuery> &measurements() const { return m_measurements; }
    [[nodiscard]] bool isEmpty() const
    {
        return m_measurements.isEmpty() && m_everyCycle.isEmpty() && m_rotating.isEmpty();
    }

    // What one query and its reply cost on a serial link, in milliseconds:
    // the query with its CR LF and a typical reply line, ten bits a byte.
    [[nodiscard]] static double serialExchangeMs(int queryLength, int baud);

private:
    QList<LiveQuery> m_measurements;
    QList<LiveQuery> m_everyCycle;
    QList<LiveQuery> m_rotating;
    int m_slice = 0;
    int m_next = 0;
};

} // namespace qle
