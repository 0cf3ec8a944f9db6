#pragma once

#include "LineLexer.h"
#include "Program.h"

#include <optional>

namespace qle::sequence {

// What one line of a sequence file says.
struct ParsedLine {
    enum class Kind { Empty, Step, RepeatOpen, RepeatClose, OnStop };
    Kind kind = Kind::Empty;
    // A step; for RepeatOpen the repeat with its count and no body yet.
    Step step;
    EndAction onStop = EndAction::OutputOff;
    std::optional<Diagnostic> error;
};

// Reads one lexed line. A line in error still says whether it opens or
// closes a repeat, so that the lines after it nest as written.
ParsedLine parseLine(const LexedLine &line, int lineNumber);

} // namespace qle::sequence
