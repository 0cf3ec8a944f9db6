#include "EventStore.h"

#include <QSqlQuery>
#include <QVariant>

namespace qle {
namespace {

const QString CreateEvents = QStringLiteral(
    "create table if not exists recordevents (RecNo TEXT NOT NULL, Seq INTEGER NOT NULL, AtMs INTEGER NOT NULL, "
    "At TEXT, Kind TEXT NOT NULL, Channel INTEGER, Source TEXT NOT NULL, Text TEXT, PRIMARY KEY (RecNo, Seq))");
const QString CreateTotals = QStringLiteral(
    "create table if not exists recordtotals (RecNo TEXT NOT NULL, Channel INTEGER NOT NULL, ChargeAh REAL, "
    "EnergyWh REAL, PRIMARY KEY (RecNo, Channel))");
const QString CountTables = QStringLiteral(
    "select count(*) from sqlite_master where type='table' and lower(name) in ('recordevents','recordtotals')");
const QString DropEvents = QStringLiteral("delete from recordevents where RecNo=?");
const QString DropTotals = QStringLiteral("delete from recordtotals where RecNo=?");
const QString AddEvent = QStringLiteral(
    "insert into recordevents (RecNo, Seq, AtMs, At, Kind, Channel, Source, Text) values (?,?,?,?,?,?,?,?)");
const QString AddTotal =
    QStringLiteral("insert into recordtotals (RecNo, Channel, ChargeAh, EnergyWh) values (?,?,?,?)");
const QString LastSeq = QStringLiteral("select coalesce(max(Seq), 0) from recordevents where RecNo=?");
const QString ReadEvents =
    QStringLiteral("select AtMs, At, Kind, Channel, Source, Text from recordevents where RecNo=? order by Seq");
const QString ReadTotals =
    QStringLiteral("select Channel, ChargeAh, EnergyWh from recordtotals where RecNo=? order by Channel");

} // namespace

EventStore::EventStore(const QSqlDatabase &db) : m_db(db)
{
}

bool EventStore::run(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(m_db);
    if (!query.prepare(sql)) {
        m_error = query.lastError();
        return false;
    }
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return true;
}

bool EventStore::createTables()
{
    return run(CreateEvents, {}) && run(CreateTotals, {});
}

bool EventStore::hasTables(bool *present)
{
    QSqlQuery query(m_db);
    if (!query.exec(CountTables)) {
        m_error = query.lastError();
        return false;
    }
    *present = query.next() && query.value(0).toInt() == 2;
    return true;
}

bool EventStore::inTransaction(const std::function<bool()> &work)
{
    if (!m_db.transaction()) {
        m_error = m_db.lastError();
        return false;
    }
    if (work()) {
        if (m_db.commit())
            return true;
        m_error = m_db.lastError();
    }
    m_db.rollback();
    return false;
}

bool EventStore::insertEvents(const QString &recNo, qint64 firstSeq, const QList<RecordEvent> &events)
{
    QSqlQuery insert(m_db);
    if (!insert.prepare(AddEvent)) {
        m_error = insert.lastError();
        return false;
    }
    qint64 seq = firstSeq;
    for (const RecordEvent &event : events) {
        insert.addBindValue(recNo);
        insert.addBindValue(seq++);
        insert.addBindValue(event.atMs);
        insert.addBindValue(RecordEvent::isoTime(event.at));
        insert.addBindValue(RecordEvent::kindName(event.kind));
        insert.addBindValue(event.channel >= 0 ? QVariant(event.channel + 1) : QVariant());
        insert.addBindValue(RecordEvent::sourceName(event.source));
        insert.addBindValue(event.text.isNull() ? QStringLiteral("") : event.text);
        if (!insert.exec()) {
            m_error = insert.lastError();
            return false;
        }
    }
    return true;
}

bool EventStore::insertTotals(const QString &recNo, const QList<ChannelTotal> &totals)
{
    for (const ChannelTotal &total : totals) {
        if (!run(AddTotal, {recNo, total.channel + 1, total.chargeAh, total.energyWh}))
            return false;
    }
    return true;
}

bool EventStore::save(const QString &recNo, const QList<RecordEvent> &events, const QList<ChannelTotal> &totals)
{
    return inTransaction([&] {
        return createTables() && run(DropEvents, {recNo}) && run(DropTotals, {recNo}) &&
               insertEvents(recNo, 1, events) && insertTotals(recNo, totals);
    });
}

bool EventStore::appendEvents(const QString &recNo, const QList<RecordEvent> &events)
{
    return inTransaction([&] {
        if (!createTables())
            return false;
        QSqlQuery last(m_db);
        if (!select(LastSeq, recNo, &last))
            return false;
        const qint64 highest = last.next() ? last.value(0).toLongLong() : 0;
        return insertEvents(recNo, highest + 1, events);
    });
}

bool EventStore::select(const QString &sql, const QString &recNo, QSqlQuery *query)
{
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        m_error = query->lastError();
        return false;
    }
    query->addBindValue(recNo);
    if (!query->exec()) {
        m_error = query->lastError();
        return false;
    }
    return true;
}

bool EventStore::saveTotals(const QString &recNo, const QList<ChannelTotal> &totals)
{
    return inTransaction([&] { return createTables() && run(DropTotals, {recNo}) && insertTotals(recNo, totals); });
}

bool EventStore::loadEvents(const QString &recNo, QList<RecordEvent> *events)
{
    events->clear();
    bool present = false;
    if (!hasTables(&present))
        return false;
    if (!present)
        return true;
    QSqlQuery query(m_db);
    if (!select(ReadEvents, recNo, &query))
        return false;
    while (query.next()) {
        RecordEvent event;
        event.atMs = query.value(0).toLongLong();
        event.at = RecordEvent::fromIsoTime(query.value(1).toString());
        const QString kind = query.value(2).toString();
        event.channel = query.value(3).isNull() ? -1 : query.value(3).toInt() - 1;
        event.source = RecordEvent::sourceFromName(query.value(4).toString()).value_or(RecordEvent::Source::Program);
        event.text = query.value(5).toString();
        // A kind this program does not know (written by a later one) is
        // kept as a mark that names it.
        if (const std::optional<RecordEvent::Kind> known = RecordEvent::kindFromName(kind)) {
            event.kind = *known;
        } else {
            event.kind = RecordEvent::Kind::Mark;
            event.text = kind + QStringLiteral(": ") + event.text;
        }
        events->append(event);
    }
    return true;
}

bool EventStore::loadTotals(const QString &recNo, QList<ChannelTotal> *totals)
{
    totals->clear();
    bool present = false;
    if (!hasTables(&present))
        return false;
    if (!present)
        return true;
    QSqlQuery query(m_db);
    if (!select(ReadTotals, recNo, &query))
        return false;
    while (query.next())
        totals->append({query.value(0).toInt() - 1, query.value(1).toDouble(), query.value(2).toDouble()});
    return true;
}

bool EventStore::deleteRecord(const QString &recNo)
{
    bool present = false;
    if (!hasTables(&present))
        return false;
    return !present || (run(DropEvents, {recNo}) && run(DropTotals, {recNo}));
}

} // namespace qle
