#pragma once

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <array>
#include <limits>
#include <optional>
#include <vector>

namespace qle {

struct WorkingRowView;

namespace graph {
class WorkingExtremes;
}

// The record statements the graph window needs beyond RecordDatabase: the
// working rows as numbers, the time-length position stored with a record,
// and deleting a record.
// Values are bound; a routine returns false on a database error, which
// lastError() then describes.
class GraphRecordStore {
    // The six reading columns of the working table as numbers, as of the
    // last read.
    struct KeptTraces {
        std::array<std::vector<double>, 6> values;
        qint64 lastRowId = 0;
        qint64 lastSeqNo = std::numeric_limits<qint64>::min();
        quint64 generation = 0;
        QString connection;
        bool valid = false;

        // One row's readings as numbers (NaN, a gap, for a blank or
        // unreadable one), handed to `extremes` too when there is one.
        void take(qint64 rowId, qint64 seqNo, const std::array<QByteArrayView, 6> &readings,
                  graph::WorkingExtremes *extremes);
    };

public:
    explicit GraphRecordStore(QSqlDatabase db);

    // Voltage and current of channels 1..channels of every working row, in
    // SeqNo order, as numbers (the leading number of the text; NaN, a gap,
    // for a blank or unreadable reading), into (*values)[2 * channel] and
    // [2 * channel + 1]; the others stay empty. The same pass hands every
    // reading column's texts to `extremes` when one is given. The numbers
    // are kept: while the working table has only had rows appended since
    // (its generation is unchanged), the next call reads those rows alone.
    bool workingValues(int channels, std::array<std::vector<double>, 6> *values,
                       graph::WorkingExtremes *extremes = nullptr);

    // A read of every working row in SeqNo order made by someone else (the
    // table recorder filling its grid), handed over row by row: once
    // finished, its numbers are the kept ones, as if workingValues had read
    // them, and `extremes` has had its pass. Unfinished, it changes nothing
    // kept.
    class WholeRead {
    public:
        void reserve(qsizetype rows);
        void add(const WorkingRowView &row);
        void finish();

    private:
        friend class GraphRecordStore;
        WholeRead(GraphRecordStore &store, graph::WorkingExtremes *extremes);

        GraphRecordStore *m_store;
        graph::WorkingExtremes *m_extremes;
        KeptTraces m_read;
    };
    // Nothing when `db` is not this store's connection.
    [[nodiscard]] std::optional<WholeRead> wholeRead(const QSqlDatabase &db, graph::WorkingExtremes *extremes);

    // The record's ShowStyle; empty when the record or the value is missing.
    bool showStyle(const QString &recNo, std::optional<int> *position);
    // The record's rows, then its header, all or nothing.
    bool deleteRecord(const QString &recNo);

    [[nodiscard]] const QSqlError &lastError() const { return m_error; }

private:
    bool run(QSqlQuery &query, const QString &sql, const QString &recNo);
    bool readAll(graph::WorkingExtremes *extremes);
    bool readAppended(graph::WorkingExtremes *extremes, bool *inOrder);

    QSqlDatabase m_db;
    QSqlError m_error;
    KeptTraces m_kept;
};

} // namespace qle
