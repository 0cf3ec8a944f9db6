#include "GraphRecordStore.h"

#include "GraphFormat.h"
#include "GraphStatistics.h"
#include "recording/database/RecordDatabase.h"
#include "recording/events/EventStore.h"

#include "platform/SqliteRows.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <limits>

namespace qle {

GraphRecordStore::GraphRecordStore(QSqlDatabase db) : m_db(std::move(db))
{
}

bool GraphRecordStore::run(QSqlQuery &query, const QString &sql, const QString &recNo)
{
    if (!query.prepare(sql)) {
        m_error = query.lastError();
        return false;
    }
    query.addBindValue(recNo);
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return true;
}

namespace {

const char *const AllReadings =
    "select rowid, SeqNo, PVal, SVal, PVal2, SVal2, PVal3, SVal3 from datatemp order by SeqNo asc";
const char *const AppendedReadings =
    "select rowid, SeqNo, PVal, SVal, PVal2, SVal2, PVal3, SVal3 from datatemp where rowid > ? order by rowid";
constexpr int Columns = 6;

std::array<QByteArrayView, Columns> readingsOf(const sqlite::Rows &rows)
{
    std::array<QByteArrayView, Columns> texts;
    for (int column = 0; column < Columns; ++column)
        texts.at(static_cast<std::size_t>(column)) = rows.text(2 + column);
    return texts;
}

} // namespace

void GraphRecordStore::KeptTraces::take(qint64 rowId, qint64 seqNo, const std::array<QByteArrayView, 6> &readings,
                                        graph::WorkingExtremes *extremes)
{
    lastRowId = std::max(lastRowId, rowId);
    lastSeqNo = std::max(lastSeqNo, seqNo);
    for (int column = 0; column < Columns; ++column) {
        const QByteArrayView text = readings.at(static_cast<std::size_t>(column));
        const std::optional<double> value = graph::readingValue(text);
        values.at(static_cast<std::size_t>(column)).push_back(value.value_or(std::numeric_limits<double>::quiet_NaN()));
        if (extremes)
            extremes->add(column, rowId, text, value);
    }
}

bool GraphRecordStore::readAppended(graph::WorkingExtremes *extremes, bool *inOrder)
{
    *inOrder = true;
    sqlite::Rows rows(m_db, AppendedReadings);
    rows.bind(1, m_kept.lastRowId);
    while (rows.next()) {
        // A row that does not come after the kept ones in SeqNo order: the
        // caller reads the whole table afresh, the rows taken before it too.
        if (rows.isNull(1) || rows.integer(1) <= m_kept.lastSeqNo) {
            *inOrder = false;
            return true;
        }
        m_kept.take(rows.integer(0), rows.integer(1), readingsOf(rows), nullptr);
    }
    if (!rows.isValid() || rows.error().isValid()) {
        m_error = rows.error();
        return false;
    }
    // The extremes keep their own account of appended rows.
    return !extremes || extremes->update(m_db);
}

bool GraphRecordStore::readAll(graph::WorkingExtremes *extremes)
{
    m_kept = {};
    const quint64 generation = RecordDatabase::workingTableGeneration();
    if (extremes)
        extremes->beginPass();
    sqlite::Rows rows(m_db, AllReadings);
    while (rows.next())
        m_kept.take(rows.integer(0), rows.integer(1), readingsOf(rows), extremes);
    if (!rows.isValid() || rows.error().isValid()) {
        m_error = rows.error();
        m_kept = {};
        return false;
    }
    if (extremes)
        extremes->endPass(m_kept.lastRowId, generation, m_db.connectionName());
    m_kept.generation = generation;
    m_kept.connection = m_db.connectionName();
    m_kept.valid = true;
    return true;
}

bool GraphRecordStore::workingValues(int channels, std::array<std::vector<double>, 6> *values,
                                     graph::WorkingExtremes *extremes)
{
    for (std::vector<double> &trace : *values)
        trace.clear();
    // The traces of the last read stand while the working table has only
    // grown since: then the appended rows alone are read.
    bool appended = false;
    if (m_kept.valid && m_kept.generation == RecordDatabase::workingTableGeneration() &&
        m_kept.connection == m_db.connectionName()) {
        bool inOrder = false;
        if (!readAppended(extremes, &inOrder)) {
            m_kept = {};
            return false;
        }
        appended = inOrder;
    }
    if (!appended && !readAll(extremes))
        return false;
    const int traces = 2 * std::clamp(channels, 1, 3);
    for (int trace = 0; trace < traces; ++trace)
        (*values)[static_cast<std::size_t>(trace)] = m_kept.values.at(static_cast<std::size_t>(trace));
    return true;
}

GraphRecordStore::WholeRead::WholeRead(GraphRecordStore &store, graph::WorkingExtremes *extremes)
    : m_store(&store), m_extremes(extremes)
{
    m_read.generation = RecordDatabase::workingTableGeneration();
    m_read.connection = store.m_db.connectionName();
    if (m_extremes)
        m_extremes->beginPass();
}

void GraphRecordStore::WholeRead::reserve(qsizetype rows)
{
    for (std::vector<double> &trace : m_read.values)
        trace.reserve(static_cast<std::size_t>(std::max<qsizetype>(rows, 0)));
}

void GraphRecordStore::WholeRead::add(const WorkingRowView &row)
{
    std::array<QByteArrayView, Columns> readings;
    for (int column = 0; column < Columns; ++column)
        readings.at(static_cast<std::size_t>(column)) = row.reading(column);
    m_read.take(row.rowId, row.seqNo, readings, m_extremes);
}

void GraphRecordStore::WholeRead::finish()
{
    if (m_extremes)
        m_extremes->endPass(m_read.lastRowId, m_read.generation, m_read.connection);
    m_read.valid = true;
    m_store->m_kept = std::move(m_read);
}

std::optional<GraphRecordStore::WholeRead> GraphRecordStore::wholeRead(const QSqlDatabase &db,
                                                                       graph::WorkingExtremes *extremes)
{
    if (db.connectionName() != m_db.connectionName())
        return std::nullopt;
    return WholeRead(*this, extremes);
}

bool GraphRecordStore::showStyle(const QString &recNo, std::optional<int> *position)
{
    position->reset();
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("select ShowStyle from datamain where recno=?"), recNo))
        return false;
    if (query.next()) {
        bool ok = false;
        const int value = query.value(0).toString().trimmed().toInt(&ok);
        if (ok)
            *position = value;
    }
    return true;
}

bool GraphRecordStore::deleteRecord(const QString &recNo)
{
    if (!m_db.transaction()) {
        m_error = m_db.lastError();
        return false;
    }
    QSqlQuery rows(m_db);
    QSqlQuery header(m_db);
    // The record's events and totals go with it, in the same transaction.
    EventStore events(m_db);
    const bool eventsDropped = events.deleteRecord(recNo);
    if (!eventsDropped)
        m_error = events.lastError();
    if (eventsDropped && run(rows, QStringLiteral("delete from datadetail where recno=?"), recNo) &&
        run(header, QStringLiteral("delete from datamain where recno=?"), recNo)) {
        if (m_db.commit())
            return true;
        m_error = m_db.lastError();
    }
    m_db.rollback();
    return false;
}

} // namespace qle
