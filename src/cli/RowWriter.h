#pragma once

#include "CliCommands.h"
#include "recording/events/RecordEvent.h"

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

class EnergyTally;

// Where the rows of readings go: CSV lines in the graph recorder's export
// layout (to a file or to standard output), and a numbered record in the
// data folder's mtype.mdb that the main program lists and loads.
struct RowTargets {
    QString csvPath;          // "" for no CSV file
    bool csvToStdout = false; // the CSV lines on standard output instead
    std::optional<QString> recordComment;
    QString dataFolder;         // where mtype.mdb is, for a record
    bool energyColumns = false; // --energy: power, charge and energy in the CSV
};

// Keeps every row as soon as it is taken: a CSV line flushed, a row
// committed to the record in its own transaction.
class RowWriter final {
public:
    // With an energy tally the CSV lines end in each channel's power,
    // charge and energy so far; it outlives the writer.
    explicit RowWriter(int channels, const EnergyTally *energyColumns = nullptr);
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
    // The record's charge and energy, replacing any saved before; nothing
    // to do without a record.
    bool saveTotals(const QList<ChannelTotal> &totals, Failure *failure);
    // Closes the file and the record; done by the destructor too.
    void close();

    [[nodiscard]] qint64 rows() const { return m_rows; }
    // The record's number; "" without a record.
    [[nodiscard]] QString recordNumber() const { return m_recNo; }

private:
    int m_channels;
    const EnergyTally *m_energy;
    QFile m_csv;
    QString m_csvName;
    QDateTime m_start;
    std::unique_ptr<RecordDatabase> m_records;
    QString m_recNo;
    qint64 m_rows = 0;
    qint64 m_lastSeconds = 0;
};

} // namespace qle::cli
