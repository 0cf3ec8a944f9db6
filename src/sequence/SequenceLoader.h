#pragma once

#include "Diagnostic.h"
#include "Program.h"

#include <QList>
#include <QString>

namespace qle::sequence {

// A sequence file read: the program and every fault found in it, in line
// order. A program with faults is never run.
struct LoadResult {
    Program program;
    QList<Diagnostic> diagnostics;

    [[nodiscard]] bool ok() const { return diagnostics.isEmpty(); }
};

// Reads a sequence: one step a line, `#` to the end of a line a comment,
// blank lines ignored, keywords in any case. Reading goes on past a faulty
// line so that every fault is told at once.
LoadResult loadSequence(const QString &text);
// The same from a UTF-8 file; a file that cannot be read gives one
// diagnostic naming it and why.
LoadResult loadSequenceFile(const QString &path);

} // namespace qle::sequence
