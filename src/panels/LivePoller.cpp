#include "LivePoller.h"

#include "comm/CommTasker.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "protocol/Commands.h"

#include <cmath>
#include <utility>

namespace qle {
namespace {

// Weight of the newest timed cycle in the running cost per exchange.
constexpr double NewCycleWeight = 0.3;

int sinkKey(const LiveQuery &query)
{
    return static_cast<int>(query.item) * 8 + query.channel + 1;
}

bool isMeasurement(LiveItem item)
{
    return item == LiveItem::MeasuredVoltage || item == LiveItem::MeasuredCurrent;
}

} // namespace

LivePoller::LivePoller(CommTasker &engine, const Commands &commands, LivePlan plan, Apply apply,
                       std::function<void(double)> slowCycle, QObject *parent)
    : QObject(parent), m_engine(engine), m_commands(commands), m_plan(std::move(plan)), m_apply(std::move(apply)),
      m_slowCycle(std::move(slowCycle))
{
}

void LivePoller::checkCycleTime()
{
    const double spent = nowMs() - m_cycleStartMs;
    if (m_slowReported || m_engine.QueryCmdMaxMsec < 1 || spent <= m_engine.QueryCmdMaxMsec)
        return;
    m_slowReported = true;
    if (m_slowCycle)
        m_slowCycle(spent);
}

double LivePoller::nowMs() const
{
    return platform::clock().monotonicSec() * 1000.0;
}

double LivePoller::msPerExchange() const
{
    if (m_measuredMsPerExchange > 0)
        return m_measuredMsPerExchange;
    if (!m_engine.MSComm1.isOpen())
        return 0;
    // The average query of the plan at the port's configured rate.
    const QList<LiveQuery> cycle = LivePlan(m_plan).nextCycle(true);
    if (cycle.isEmpty())
        return 0;
    double total = 0;
    for (const LiveQuery &query : cycle)
        total += LivePlan::serialExchangeMs(static_cast<int>(m_commands.query(query.queryIndex).size()),
                                            static_cast<int>(m_engine.MSComm1.baudRate()));
    return total / static_cast<double>(cycle.size());
}

int LivePoller::readingPeriodMs(int periodMs, bool measuring) const
{
    const double cycleMs = m_plan.shortestCycle(measuring) * msPerExchange();
    if (periodMs <= 0 || cycleMs <= periodMs)
        return periodMs;
    return static_cast<int>(std::ceil(cycleMs / periodMs)) * periodMs;
}

qint64 LivePoller::silenceMs() const
{
    return m_lastReplyMs < 0 ? 0 : static_cast<qint64>(nowMs() - m_lastReplyMs);
}

bool LivePoller::isCycleRunning() const
{
    // A reset of the engine drops queued queries without a reply: then the
    // cycle is over although replies are missing.
    return m_outstanding > 0 && m_engine.hasQueryWork();
}

LiveReplySink *LivePoller::sinkFor(const LiveQuery &query)
{
    LiveReplySink *&sink = m_sinks[sinkKey(query)];
    if (!sink)
        sink = new LiveReplySink(
            query, [this](const LiveQuery &q, const QString &text) { onReply(q, text); }, this);
    return sink;
}

bool LivePoller::poll(int periodMs, bool measuring)
{
    if (isCycleRunning()) {
        ++m_skipped;
        checkCycleTime();
        return false;
    }
    m_restartPending = false;
    m_slowReported = false;
    m_plan.fitToPeriod(periodMs, msPerExchange());
    const QList<LiveQuery> cycle = m_plan.nextCycle(measuring);
    m_cycleStamp = m_engine.commandsQueued();
    m_cycleStartMs = nowMs();
    if (m_lastReplyMs < 0)
        m_lastReplyMs = m_cycleStartMs;
    int queued = 0;
    for (const LiveQuery &query : cycle) {
        if (!m_engine.ExecQueryTask(m_commands.query(query.queryIndex), 5, sinkFor(query), "Text", 4, false))
            break;
        ++queued;
    }
    m_outstanding = queued;
    m_cycleLength = queued;
    return queued > 0;
}

void LivePoller::restart(int periodMs, bool measuring)
{
    if (!isCycleRunning()) {
        poll(periodMs, measuring);
        return;
    }
    m_restartPending = true;
    m_restartPeriodMs = periodMs;
    m_restartMeasuring = measuring;
}

void LivePoller::onReply(const LiveQuery &query, const QString &text)
{
    const bool stateIsCurrent = m_engine.commandsQueued() == m_cycleStamp;
    m_lastReplyMs = nowMs();
    if (m_outstanding > 0 && --m_outstanding == 0 && m_cycleLength > 0) {
        checkCycleTime();
        // Only cycles no command interrupted time the link.
        const double spent = (nowMs() - m_cycleStartMs) / m_cycleLength;
        if (stateIsCurrent && spent > 0) {
            m_measuredMsPerExchange = m_measuredMsPerExchange <= 0
                                          ? spent
                                          : NewCycleWeight * spent + (1 - NewCycleWeight) * m_measuredMsPerExchange;
        }
    }
    m_apply(query, text, stateIsCurrent || isMeasurement(query.item));
    if (m_restartPending && m_outstanding == 0)
        poll(m_restartPeriodMs, m_restartMeasuring);
}

} // namespace qle
