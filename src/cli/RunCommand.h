#pragma once

#include "CliCommands.h"
#include "RowWriter.h"
#include "sequence/Program.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace qle::cli {

// qle-cli run: the sequence file, whether only to check it, and where the
// rows of a recording go.
struct RunOptions {
    QString file;
    bool checkOnly = false;
    double intervalSec = 1;
    RowTargets rows;

    // --csv or --record: the run has a recorder.
    [[nodiscard]] bool records() const
    {
        return rows.csvToStdout || !rows.csvPath.isEmpty() || rows.recordComment.has_value();
    }
};

// Reads the run options from the command's words and options; false with a
// usage message.
bool runOptionsFrom(const QMap<QString, QString> &options, const QStringList &words, RunOptions *run, QString *error);

// Reads the sequence file before any link is opened. Its faults go to
// standard error, one "FILE:LINE:COLUMN: message" a line, and fail with
// Usage; a file that cannot be read fails with FileError.
bool loadRunProgram(const RunOptions &options, sequence::Program *program, Failure *failure);

// Identifies the instrument, checks the program against its model and link
// (nothing is sent when the check fails), then prints the check's summary
// or runs the program with its log on standard error. A run that does not
// complete all its steps fails with LinkError.
bool runSequence(Context &context, const RunOptions &options, const sequence::Program &program, Failure *failure);

} // namespace qle::cli
