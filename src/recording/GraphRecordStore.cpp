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
const QString JoinedReadings = QStringLiteral(
    "select rowid, ifnull(PVal,'')||char(31)||ifnull(SVal,'')||char(31)||ifnull(PVal2,'')||char(31)||"
    "ifnull(SVal2,'')||char(31)||ifnull(PVal3,'')||char(31)||ifnull(SVal3,'') from datatemp order by SeqNo asc");
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

bool GraphRecordStore::workingValues(int channels, std::array<std::vector<double>, 6> *values,
                                     graph::WorkingExtremes *extremes)
{
    for (std::vector<double> &trace : *values)
        trace.clear();
    const quint64 generation = RecordDatabase::workingTableGeneration();
    if (extremes)
        extremes->beginPass();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(JoinedReadings) || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    const int traces = 2 * std::clamp(channels, 1, 3);
    qint64 lastRowId = 0;
    std::array<QStringView, Columns> texts;
    std::array<QString, Columns> separateTexts;
    while (query.next()) {
        const qint64 rowId = query.value(0).toLongLong();
        lastRowId = std::max(lastRowId, rowId);
        const QString joined = query.value(1).toString();
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
            if (column >= traces && !extremes)
                break;
            const QStringView text = texts.at(static_cast<std::size_t>(column));
            const std::optional<double> value = graph::readingValue(text);
            if (column < traces)
                (*values)[static_cast<std::size_t>(column)].push_back(
                    value.value_or(std::numeric_limits<double>::quiet_NaN()));
            if (extremes)
                extremes->add(column, rowId, text, value);
        }
    }
    if (query.lastError().isValid()) {
        m_error = query.lastError();
        return false;
    }
    if (extremes)
        extremes->endPass(lastRowId, generation);
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
