#pragma once

#include "Diagnostic.h"
#include "LinkPace.h"
#include "ProgramMeasure.h"

namespace qle {
class Instrument;
}

namespace qle::sequence {

// What a program would do on one instrument, before anything is sent.
struct CheckResult {
    QList<Diagnostic> diagnostics;
    DurationEstimate duration;
    qint64 commands = 0;

    [[nodiscard]] bool ok() const { return diagnostics.isEmpty(); }
    // The diagnostics, one a line, then "N commands, about 1 h 30 min".
    [[nodiscard]] QString report() const;
    [[nodiscard]] QString summary() const;
};

// Checks `program` against the identified instrument's model (its
// channels, catalogue limits, memories and coupling) and the link's pace.
// `canRecord`: whether the run's host has a recorder for `record`.
CheckResult checkSequence(const Program &program, const Instrument &instrument, const LinkPace &pace, bool canRecord);

} // namespace qle::sequence
