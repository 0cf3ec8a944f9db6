#include "GraphRecordStore.h"

#include "GraphFormat.h"
#include "GraphStatistics.h"
#include "RecordDatabase.h"

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

// The six readings of a row joined by a unit separator: one value a row
// instead of six, which is most of the cost of reading a day of rows.
const QString JoinedReadingsColumns = QStringLiteral(
    "select rowid, SeqNo, ifnull(PVal,'')||char(31)||ifnull(SVal,'')||char(31)||ifnull(PVal2,'')||char(31)||"
    "ifnull(SVal2,'')||char(31)||ifnull(PVal3,'')||char(31)||ifnull(SVal3,'') from datatemp ");
const QString AllReadings = JoinedReadingsColumns + QStringLiteral("order by SeqNo asc");
const QString AppendedReadings = JoinedReadingsColumns + QStringLiteral("where rowid > ? order by rowid");
// The same row column by column, for a reading that holds the separator itself.
const QString RowReadings = QStringLiteral("select PVal,SVal,PVal2,SVal2,PVal3,SVal3 from datatemp where rowid=?");
constexpr QChar Separator(0x1f);
constexpr int Columns = 6;

} // namespace

bool GraphRecordStore::readingsOfRow(qint64 rowId, std::array<QString, 6> *texts)
{
    QSqlQuery query(m_db);
    if (!query.prepare(RowReadings)) {
        m_error = query.lastError();
        return false;
    }
    query.addBindValue(rowId);
    if (!query.exec() || !query.next()) {
        m_error = query.lastError();
        return false;
    }
    for (int column = 0; column < Columns; ++column)
        (*texts)[static_cast<std::size_t>(column)] = query.value(column).toString();
    return true;
}

// Reads the rows of `query` into the kept traces. With `appendedOnly` a row
// that does not come after the kept ones in SeqNo order ends the read with
// *inOrder false, and the caller reads the whole table instead.
bool GraphRecordStore::readRows(QSqlQuery &query, bool appendedOnly, graph::WorkingExtremes *extremes, bool *inOrder)
{
    *inOrder = true;
    std::array<QStringView, Columns> texts;
    std::array<QString, Columns> separateTexts;
    while (query.next()) {
        const qint64 rowId = query.value(0).toLongLong();
        const QVariant seqValue = query.value(1);
        const qint64 seqNo = seqValue.toLongLong();
        if (appendedOnly && (seqValue.isNull() || seqNo <= m_kept.lastSeqNo)) {
            *inOrder = false;
            return true;
        }
        m_kept.lastRowId = std::max(m_kept.lastRowId, rowId);
        m_kept.lastSeqNo = std::max(m_kept.lastSeqNo, seqNo);
        const QString joined = query.value(2).toString();
        int found = 0;
        qsizetype from = 0;
        for (; found < Columns; ++found) {
            const qsizetype end = joined.indexOf(Separator, from);
            const qsizetype stop = end < 0 ? joined.size() : end;
            texts.at(static_cast<std::size_t>(found)) = QStringView(joined).mid(from, stop - from);
            from = stop + 1;
            if (end < 0)
                break;
        }
        if (found != Columns - 1) {
            if (!readingsOfRow(rowId, &separateTexts))
                return false;
            for (int column = 0; column < Columns; ++column)
                texts.at(static_cast<std::size_t>(column)) = separateTexts.at(static_cast<std::size_t>(column));
        }
        for (int column = 0; column < Columns; ++column) {
            const QStringView text = texts.at(static_cast<std::size_t>(column));
            const std::optional<double> value = graph::readingValue(text);
            m_kept.values[static_cast<std::size_t>(column)].push_back(
                value.value_or(std::numeric_limits<double>::quiet_NaN()));
            if (extremes)
                extremes->add(column, rowId, text, value);
        }
    }
    if (query.lastError().isValid()) {
        m_error = query.lastError();
        return false;
    }
    return true;
}

bool GraphRecordStore::readAppended(graph::WorkingExtremes *extremes, bool *inOrder)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(AppendedReadings)) {
        m_error = query.lastError();
        return false;
    }
    query.addBindValue(m_kept.lastRowId);
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    if (!readRows(query, true, nullptr, inOrder))
        return false;
    // The rows taken before one out of order go with the rest: the caller
    // reads the whole table afresh.
    if (!*inOrder)
        return true;
    // The extremes keep their own account of appended rows.
    return !extremes || extremes->update(m_db);
}

bool GraphRecordStore::readAll(graph::WorkingExtremes *extremes)
{
    m_kept = {};
    const quint64 generation = RecordDatabase::workingTableGeneration();
    if (extremes)
        extremes->beginPass();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(AllReadings) || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    bool inOrder = true;
    if (!readRows(query, false, extremes, &inOrder)) {
        m_kept = {};
        return false;
    }
    if (extremes)
        extremes->endPass(m_kept.lastRowId, generation);
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
    if (run(rows, QStringLiteral("delete from datadetail where recno=?"), recNo) &&
        run(header, QStringLiteral("delete from datamain where recno=?"), recNo)) {
        if (m_db.commit())
            return true;
        m_error = m_db.lastError();
    }
    m_db.rollback();
    return false;
}

} // namespace qle
