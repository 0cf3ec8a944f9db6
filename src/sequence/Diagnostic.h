#pragma once

#include "Program.h"

#include <QList>
#include <QString>

namespace qle::sequence {

// One fault found in a sequence file, where it is and what a technician
// should read about it.
struct Diagnostic {
    Position at;
    QString message;

    // "3:15: message", or the message alone for what belongs to no line.
    [[nodiscard]] QString text() const;
};

// One diagnostic a line, in the order given.
QString formatDiagnostics(const QList<Diagnostic> &diagnostics);

} // namespace qle::sequence
