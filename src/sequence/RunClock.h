#pragma once

namespace qle::sequence {

// The time of a run on the monotonic clock (platform::clock()), and its
// schedule: the run's time less every pause, so that a pause shifts what
// is still to come by its length.
class RunClock {
public:
    void start();
    // Seconds since the start, pauses included.
    [[nodiscard]] double elapsedSec() const;
    // Seconds of the schedule: the run's time without its pauses.
    [[nodiscard]] double scheduleSec() const;
    // Where a time of the schedule falls on the run's time, given the
    // pauses so far.
    [[nodiscard]] double elapsedAt(double scheduleSec) const { return scheduleSec + m_pausedSec; }
    // Milliseconds from now to a time of the schedule, 0 when it has passed.
    [[nodiscard]] int msUntil(double scheduleSec) const;

    void pause();
    void resume();
    [[nodiscard]] bool paused() const { return m_pausedAt >= 0; }

private:
    [[nodiscard]] static double now();

    double m_startSec = 0;
    double m_pausedSec = 0;
    double m_pausedAt = -1;
};

} // namespace qle::sequence
