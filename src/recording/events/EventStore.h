#pragma once

#include "RecordEvent.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <functional>

class QSqlQuery;

namespace qle {

// The events and totals of saved records, in tables of their own beside
// datamain in the record file:
//   recordevents (RecNo TEXT, Seq INTEGER, AtMs INTEGER, At TEXT, Kind TEXT,
//                 Channel INTEGER, Source TEXT, Text TEXT)
//   recordtotals (RecNo TEXT, Channel INTEGER, ChargeAh REAL, EnergyWh REAL)
// RecNo as datamain numbers records; Channel counts from 1 (NULL for none);
// At is ISO 8601 with milliseconds and offset; Kind and Source are the
// short names. The tables are made on the first write; reading a file
// without them gives empty lists and writes nothing. Every value is bound.
class EventStore {
public:
    explicit EventStore(const QSqlDatabase &db);

    // Makes both tables and their index when missing.
    bool createTables();
    // Whether the file has the tables (both).
    bool hasTables(bool *present);

    // Replaces what the record had, all or nothing, in a transaction of
    // its own (call it outside one).
    bool save(const QString &recNo, const QList<RecordEvent> &events, const QList<ChannelTotal> &totals);
    // For a record written as it is taken: events added after those it has,
    // and its totals replaced; each all or nothing, in its own transaction.
    bool appendEvents(const QString &recNo, const QList<RecordEvent> &events);
    bool saveTotals(const QString &recNo, const QList<ChannelTotal> &totals);
    // In their order of saving; empty for a record without any. A kind this
    // program does not know comes back as a Mark whose text begins with
    // the kind's name; an unknown source as Program.
    bool loadEvents(const QString &recNo, QList<RecordEvent> *events);
    bool loadTotals(const QString &recNo, QList<ChannelTotal> *totals);
    // Drops the record's events and totals; nothing to do on a file without
    // the tables. Joins a transaction the caller has open (deleting the
    // record's rows and header), so the caller commits all at once.
    bool deleteRecord(const QString &recNo);

    [[nodiscard]] const QSqlError &lastError() const { return m_error; }

private:
    bool run(const QString &sql, const QVariantList &values);
    // Runs a query of one record's rows; false with lastError() set.
    bool select(const QString &sql, const QString &recNo, QSqlQuery *query);
    bool inTransaction(const std::function<bool()> &work);
    bool insertEvents(const QString &recNo, qint64 firstSeq, const QList<RecordEvent> &events);
    bool insertTotals(const QString &recNo, const QList<ChannelTotal> &totals);
    QSqlDatabase m_db;
    QSqlError m_error;
};

} // namespace qle
