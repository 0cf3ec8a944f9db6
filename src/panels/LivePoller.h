#pragma once

#include "protocol/LivePlan.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

namespace qle {

class CommTasker;
class Commands;

// Where the engine writes one kind of Live reply ("Text" property). Unlike a
// text field it reports every reply, also one equal to the last.
class LiveReplySink final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    LiveReplySink(LiveQuery query, std::function<void(const LiveQuery &, const QString &)> onReply, QObject *parent)
        : QObject(parent), m_query(query), m_onReply(std::move(onReply))
    {
    }
    [[nodiscard]] QString text() const { return m_text; }
    void setText(const QString &text)
    {
        m_text = text;
        m_onReply(m_query, text);
    }

private:
    LiveQuery m_query;
    std::function<void(const LiveQuery &, const QString &)> m_onReply;
    QString m_text;
};

// Live polling of one panel: queues a cycle per period, never two at once,
// spreads the state queries so the measurements fit into the period, and
// hands each reply on with word whether it may predate a command.
class LivePoller final : public QObject {
    Q_OBJECT
public:
    // `apply(query, reply, stateIsCurrent)`: stateIsCurrent is false when a
    // command was queued after the cycle, so a state reply may be outdated.
    using Apply = std::function<void(const LiveQuery &, const QString &, bool)>;

    // `slowCycle(ms)`: a cycle took longer than the engine's read-times limit.
    LivePoller(CommTasker &engine, const Commands &commands, LivePlan plan, Apply apply,
               std::function<void(double)> slowCycle, QObject *parent = nullptr);

    // Queues the next cycle; false when the previous one is still running or
    // the engine refused it.
    bool poll(int periodMs, bool measuring);
    // Polls now, or as soon as the running cycle has ended.
    void restart(int periodMs, bool measuring);

    [[nodiscard]] bool isCycleRunning() const;
    [[nodiscard]] int lastCycleLength() const { return m_cycleLength; }
    [[nodiscard]] int skippedPeriods() const { return m_skipped; }
    [[nodiscard]] const LivePlan &plan() const { return m_plan; }
    // What one exchange costs: measured on the link, or from its baud rate
    // until a cycle has been timed.
    [[nodiscard]] double msPerExchange() const;
    // How often readings come at `periodMs`: a whole number of periods, more
    // than one when the shortest cycle takes longer than a period.
    [[nodiscard]] int readingPeriodMs(int periodMs, bool measuring) const;
    // Milliseconds since the last reply (or since the first cycle was asked
    // for); 0 before polling began.
    [[nodiscard]] qint64 silenceMs() const;

private:
    void onReply(const LiveQuery &query, const QString &text);
    // Tells once per cycle when it has run past the read-times limit.
    void checkCycleTime();
    LiveReplySink *sinkFor(const LiveQuery &query);
    [[nodiscard]] double nowMs() const;

    CommTasker &m_engine;
    const Commands &m_commands;
    LivePlan m_plan;
    Apply m_apply;
    std::function<void(double)> m_slowCycle;
    bool m_slowReported = false;
    QHash<int, LiveReplySink *> m_sinks;
    int m_outstanding = 0;
    int m_cycleLength = 0;
    int m_skipped = 0;
    quint64 m_cycleStamp = 0;
    double m_cycleStartMs = 0;
    double m_lastReplyMs = -1;
    double m_measuredMsPerExchange = 0;
    bool m_restartPending = false;
    int m_restartPeriodMs = 0;
    bool m_restartMeasuring = false;
};

} // namespace qle
