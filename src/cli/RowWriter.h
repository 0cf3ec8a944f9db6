#pragma once

#include "CliCommands.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace qle {
class RecordDatabase;
}

namespace qle::cli {

// Where the rows of readings go: CSV lines in the graph recorder's export
// layout (to a file or to standard output), and a numbered record in the
// data folder's mtype.mdb that the main program lists and loads.
struct RowTargets {
    QString csvPath;          // "" for no CSV file
    bool csvToStdout = false; // the CSV lines on standard output instead
    std::optional<QString> recordComment;
    QString dataFolder; // where mtype.mdb is, for a record
};

// Keeps every row as soon as it is taken: a CSV line flushed, a row
// committed to the record in its own transaction.
class RowWriter final {
public:
    explicit RowWriter(int channels);
    ~RowWriter();
    RowWriter(const RowWriter &) = delete;
    RowWriter &operator=(const RowWriter &) = delete;

    // Opens everything before the first row, the CSV header written and the
    // record's header stored; false with a FileError otherwise. Row times
    // count from `start`.
    bool open(const RowTargets &targets, const QDateTime &start, Failure *failure);
    // One row of readings taken `takenAtSec` after the start.
    bool append(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps, double takenAtSec,
                Failure *failure);
    // Closes the file and the record; done by the destructor too.
    void close();

    [[nodiscard]] qint64 rows() const { return m_rows; }
    // The record's number; "" without a record.
    [[nodiscard]] QString recordNumber() const { return m_recNo; }

private:
    int m_channels;
    QFile m_csv;
    QString m_csvName;
    QDateTime m_start;
    std::unique_ptr<RecordDatabase> m_records;
    QString m_recNo;
    qint64 m_rows = 0;
    qint64 m_lastSeconds = 0;
};

} // namespace qle::cli
