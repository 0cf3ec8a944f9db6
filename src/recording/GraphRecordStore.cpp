#include "GraphRecordStore.h"

#include "GraphFormat.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

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

bool GraphRecordStore::workingValues(int channels, std::array<std::vector<double>, 6> *values)
{
    for (std::vector<double> &trace : *values)
        trace.clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("select PVal,SVal,PVal2,SVal2,PVal3,SVal3 from datatemp order by SeqNo asc")) ||
        !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    const int traces = 2 * std::clamp(channels, 1, 3);
    while (query.next())
        for (int trace = 0; trace < traces; ++trace)
            (*values)[static_cast<std::size_t>(trace)].push_back(graph::plotValue(query.value(trace).toString()));
    if (query.lastError().isValid()) {
        m_error = query.lastError();
        return false;
    }
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
