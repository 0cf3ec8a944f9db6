#pragma once

#include "Program.h"

#include <QString>

#include <vector>

namespace qle::sequence {

// How long steps take by their plan: the waits and ramps. A `wait until`
// leaves the end open, bounded by its timeout.
struct DurationEstimate {
    double knownSec = 0;  // every wait until ending at once
    double atMostSec = 0; // every wait until running to its timeout
    bool open = false;    // a wait until is among the steps

    // "about 1 h 30 min", or "at least 10 s, at most 3 h 0 min 10 s".
    [[nodiscard]] QString text() const;
};

DurationEstimate estimateDuration(const Step &step);
DurationEstimate estimateDuration(const std::vector<Step> &steps);

// Commands the steps send to the instrument (readings not counted).
qint64 countCommands(const std::vector<Step> &steps);

// The value a ramp sends at `index` (0 its start, `intervals` its end, that
// one exactly the end value) and when, from the ramp's start.
double rampValue(const RampStep &ramp, int index);
double rampOffsetSec(const RampStep &ramp, int index);

} // namespace qle::sequence
