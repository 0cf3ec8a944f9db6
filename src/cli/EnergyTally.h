#pragma once

#include "recording/events/EnergyCounter.h"

#include <QList>
#include <QString>

#include <array>

namespace qle {
class Instrument;
}

namespace qle::cli {

// The charge and energy of every channel over a log or a recorded run, from
// every set of readings taken, whether it is stored as a row or folded into
// one: a reduced log counts the same as a full one. A gap of more than twice
// the interval between readings adds nothing.
class EnergyTally final {
public:
    EnergyTally(int channels, double intervalSec);

    // Counting starts and stops with the recording; the totals are kept.
    void start();
    void stop();
    // Every reading the model receives, instead of add().
    void attach(Instrument *instrument);
    // One set of readings as the instrument gave them (units stripped),
    // taken at `atMs` on a monotonic clock. A blank or unreadable pair ends
    // the channel's segment.
    void add(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps, qint64 atMs);

    // "Ch1 W,Ch1 Ah,Ch1 Wh,..." to follow the CSV header.
    [[nodiscard]] QString csvHeader() const;
    // Power of the row's readings, then charge and energy so far, per
    // channel, each field after a comma.
    [[nodiscard]] QString csvFields(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps) const;
    // "CH1: 0.0069 Ah, 0.0347 Wh", a line per channel, nothing counted as 0.
    [[nodiscard]] QString summary() const;
    [[nodiscard]] QList<ChannelTotal> totals() const;

private:
    int m_channels;
    EnergyCounter m_counter;
};

} // namespace qle::cli
