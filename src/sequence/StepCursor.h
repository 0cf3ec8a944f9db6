#pragma once

#include "ProgramMeasure.h"

#include <vector>

namespace qle::sequence {

// Walks a program's steps in the order they run, through every pass of
// every repeat, without unrolling them.
class StepCursor {
public:
    explicit StepCursor(const std::vector<Step> &steps);

    // The next step to run (never a repeat: its body comes instead), or
    // nullptr at the end.
    const Step *next();
    // "pass 3 of 100" of each repeat around the last step given, outermost first.
    [[nodiscard]] QString passes() const;
    // What the steps after the last one given take by their plan.
    [[nodiscard]] DurationEstimate remaining() const;

private:
    struct Frame {
        const std::vector<Step> *steps;
        std::size_t index;
        qint64 pass;
        qint64 passes;
    };
    std::vector<Frame> m_frames;
};

} // namespace qle::sequence
