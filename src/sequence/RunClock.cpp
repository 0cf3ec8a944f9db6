#include "RunClock.h"

#include "platform/Clock.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>

namespace qle::sequence {

double RunClock::now()
{
    return platform::clock().monotonicSec();
}

void RunClock::start()
{
    m_startSec = now();
    m_pausedSec = 0;
    m_pausedAt = -1;
}

double RunClock::elapsedSec() const
{
    return now() - m_startSec;
}

double RunClock::scheduleSec() const
{
    const double until = paused() ? m_pausedAt : now();
    return until - m_startSec - m_pausedSec;
}

int RunClock::msUntil(double scheduleSec) const
{
    const double ms = (scheduleSec - this->scheduleSec()) * 1000;
    return ms <= 0 ? 0 : static_cast<int>(std::min(std::ceil(ms), 2.0e9));
}

void RunClock::pause()
{
    if (!paused())
        m_pausedAt = now();
}

void RunClock::resume()
{
    if (!paused())
        return;
    m_pausedSec += now() - m_pausedAt;
    m_pausedAt = -1;
}

} // namespace qle::sequence
