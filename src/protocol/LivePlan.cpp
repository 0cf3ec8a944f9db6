#include "LivePlan.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qle {
namespace {

// A reply line such as "12.345" with its line end, plus the instrument's
// turn-around, counted as bytes.
constexpr int TypicalReplyBytes = 10;

} // namespace

LivePlan::LivePlan(QList<LiveQuery> measurements, QList<LiveQuery> everyCycle, QList<LiveQuery> rotating)
    : m_measurements(std::move(measurements)), m_everyCycle(std::move(everyCycle)), m_rotating(std::move(rotating)),
      m_slice(static_cast<int>(m_rotating.size()))
{
}

void LivePlan::fitToPeriod(int periodMs, double msPerExchange)
{
    const int rotating = static_cast<int>(m_rotating.size());
    if (msPerExchange <= 0 || rotating == 0) {
        m_slice = rotating;
        return;
    }
    const auto fixed = static_cast<double>(m_measurements.size() + m_everyCycle.size());
    const double room = PeriodShare * periodMs / msPerExchange - fixed;
    // At least one, so that every state query is still asked now and then.
    m_slice = std::clamp(static_cast<int>(std::floor(room)), 1, rotating);
}

int LivePlan::shortestCycle(bool measuring) const
{
    return static_cast<int>((measuring ? m_measurements.size() : 0) + m_everyCycle.size()) +
           std::min(1, static_cast<int>(m_rotating.size()));
}

QList<LiveQuery> LivePlan::nextCycle(bool measuring)
{
    QList<LiveQuery> cycle;
    if (measuring)
        cycle = m_measurements;
    cycle += m_everyCycle;
    const int rotating = static_cast<int>(m_rotating.size());
    for (int i = 0; i < m_slice && rotating > 0; ++i) {
        cycle.append(m_rotating.at(m_next));
        m_next = (m_next + 1) % rotating;
    }
    return cycle;
}

double LivePlan::serialExchangeMs(int queryLength, int baud)
{
    if (baud <= 0)
        return 0;
    return (queryLength + 2 + TypicalReplyBytes) * 10.0 * 1000.0 / baud;
}

} // namespace qle
