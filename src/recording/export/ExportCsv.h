#pragma once

#include "recording/database/RecordRow.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace qle {

// The working table as a comma-separated file: a header line for the number
// of channels, then one line per row in SeqNo order (number, time, voltage
// and current of each channel), lines ended by CR LF, no quoting. The file is
// written beside its final name and put in place only when complete, so a
// failed export leaves an earlier file as it was and never a partial one.
class ExportCsv {
public:
    // "No.,Time,Ch1 V,Ch1 A" and the pairs of channels 2 and 3.
    [[nodiscard]] static QString headerLine(int channels);
    // One row as a line (without its line end): number, time, then voltage
    // and current of each channel.
    [[nodiscard]] static QString rowLine(const RecordRow &row, int channels);
    static constexpr const char *LineEnd = "\r\n";

    // False when the rows cannot be read or the file cannot be created or
    // written; *error then names the file and the reason.
    static bool write(QSqlDatabase db, int channels, const QString &path, QString *error);
    // The same with more columns after each line's own: `extraHeader` after
    // the header, what `extraColumns` gives for each row (",..." included).
    static bool write(QSqlDatabase db, int channels, const QString &path, QString *error, const QString &extraHeader,
                      const std::function<QString(const RecordRow &)> &extraColumns);
};

} // namespace qle
