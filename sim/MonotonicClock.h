#pragma once

#include <QElapsedTimer>

namespace psusim {

// Milliseconds since the simulator started, with sub-millisecond resolution.
class MonotonicClock {
public:
    MonotonicClock() { m_timer.start(); }
    [[nodiscard]] double nowMs() const { return double(m_timer.nsecsElapsed()) / 1e6; }

private:
    QElapsedTimer m_timer;
};

} // namespace psusim
