#pragma once

#include <QString>

namespace qle::sequence {

// One line of a run's log: a step begun, a ramp value sent, a wait ended
// with the readings then, a mark, a note, the end.
struct RunLogEntry {
    enum class Kind { Step, RampValue, WaitEnded, Mark, Note, End };
    Kind kind = Kind::Note;
    int line = 0;          // the step's line in the file; 0 for the run itself
    double plannedMs = -1; // when the plan had it, from the run's start; -1: no plan
    double actualMs = 0;   // when it happened, from the run's start (monotonic)
    QString text;

    // "   12.345 s  line 7: ramp ch1 voltage 0 to 12 V over 1h step 0.1 V  (planned 12.300 s, +45 ms)"
    [[nodiscard]] QString format() const;
};

} // namespace qle::sequence
