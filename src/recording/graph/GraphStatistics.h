#pragma once

#include <QSqlDatabase>
#include <QStringList>

#include <array>
#include <optional>

namespace qle::graph {

// The largest and smallest reading of one column, with the text it was
// stored as. Values are compared as numbers, so 10.2 is above 9.5; among
// equal values the row stored first (lowest rowid) wins, whatever order the
// rows are offered in.
struct ColumnExtremes {
    std::optional<double> max;
    std::optional<double> min;
    qint64 maxRow = 0;
    qint64 minRow = 0;
    QString maxText;
    QString minText;

    // The reading of row `rowId` stored as `utf8`, its number `value`.
    void add(qint64 rowId, QByteArrayView utf8, std::optional<double> value);
};

// The extremes of the six reading columns of the working table, kept between
// looks: rows appended since the last look are read alone, and any other
// change to the table (it was cleared, a record was loaded, a write failed)
// makes the next look read it whole. A pass that reads the whole table for
// another reason can hand its texts over instead (beginPass, add, endPass).
class WorkingExtremes {
public:
    static constexpr int Columns = 6;

    // Brings the extremes up to the table as it stands; false on a database
    // error, after which the next look reads the whole table.
    bool update(QSqlDatabase db);
    void forget() { m_valid = false; }

    void beginPass();
    void add(int column, qint64 rowId, QByteArrayView utf8, std::optional<double> value);
    // lastRowId: the highest rowid the pass read; generation: the working
    // table's generation when the pass began; connection: the database
    // connection it read.
    void endPass(qint64 lastRowId, quint64 generation, const QString &connection);

    [[nodiscard]] const ColumnExtremes &column(int index) const
    {
        return m_columns.at(static_cast<std::size_t>(index));
    }

private:
    bool read(QSqlDatabase db, qint64 afterRowId);

    std::array<ColumnExtremes, Columns> m_columns;
    qint64 m_lastRowId = 0;
    quint64 m_generation = 0;
    QString m_connection;
    bool m_valid = false;
};

// The lines of the graph's statistics list: the total time and time slice of
// `points` points `timeSlice` seconds apart, the number of samples, then per
// channel (1 to `channels`) the largest and smallest voltage and current,
// each shown as the text it was stored as. Blank and unreadable cells are
// left out; a column with no reading leaves its place empty, as when the
// table holds no row.
QStringList statisticsLines(const WorkingExtremes &extremes, int channels, int timeSlice, qint32 points);
// The same for the working table of `db`, read whole.
QStringList statisticsLines(QSqlDatabase db, int channels, int timeSlice, qint32 points);

} // namespace qle::graph
