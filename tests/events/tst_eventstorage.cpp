#include "RecordFile.h"
#include "recording/database/RecordDatabase.h"
#include "recording/events/EventCsv.h"
#include "recording/events/EventStore.h"
#include "recording/graph/GraphRecordStore.h"

#include <QCryptographicHash>
#include <QTest>
#include <QTimeZone>

using namespace qle;
using namespace qle::testing;

namespace {

using Kind = RecordEvent::Kind;
using Source = RecordEvent::Source;

const QDateTime Wall(QDate(2024, 5, 1), QTime(12, 0), QTimeZone(7200));

RecordEvent makeEvent(qint64 atMs, Kind kind, int channel, Source source, const QString &text)
{
    return {atMs, Wall.addMSecs(atMs), kind, channel, source, text};
}

QList<RecordEvent> someEvents()
{
    return {
        makeEvent(0, Kind::RecordingStart, -1, Source::User, "recording started"),
        makeEvent(1500, Kind::SetValue, 0, Source::Script, "CH1 voltage 5 → 6 V"),
        makeEvent(2250, Kind::Mark, -1, Source::User, "a \"quoted\", text; 中文"),
        makeEvent(3000, Kind::OutputOffByInstrument, -1, Source::Instrument, "output switched off by the instrument"),
        makeEvent(3001, Kind::LimitBreach, 2, Source::Program, QString()),
        makeEvent(4000, Kind::RecordingStop, -1, Source::Sequence, "recording stopped")};
}

QByteArray sha(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestEventStorage : public QObject {
    Q_OBJECT

private slots:
    void quoting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "output on"
                               << "\"output on\"";
        QTest::newRow("empty") << ""
                               << "\"\"";
        QTest::newRow("a quote inside") << "say \"hi\""
                                        << "\"say \"\"hi\"\"\"";
        QTest::newRow("only quotes") << "\"\""
                                     << "\"\"\"\"\"\"";
        QTest::newRow("comma") << "a, b"
                               << "\"a, b\"";
        QTest::newRow("line break kept inside the quotes") << "a\nb"
                                                           << "\"a\nb\"";
    }

    void quoting()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(EventCsv::quoted(text), field);
    }

    void csvLines()
    {
        QCOMPARE(EventCsv::headerLine(), QString("AtMs,Time,Kind,Channel,Source,Text"));
        QCOMPARE(EventCsv::eventLine(makeEvent(1500, Kind::SetValue, 1, Source::Script, "CH2 voltage 5 → 6 V")),
                 QString("1500,2024-05-01T12:00:01.500+02:00,set,2,script,\"CH2 voltage 5 → 6 V\""));
        QCOMPARE(EventCsv::eventLine(makeEvent(0, Kind::Mark, -1, Source::User, "a \"b\", c")),
                 QString("0,2024-05-01T12:00:00.000+02:00,mark,,user,\"a \"\"b\"\", c\""));
        // A time in UTC keeps its offset.
        RecordEvent utc = makeEvent(7, Kind::OutputOn, -1, Source::User, "output on");
        utc.at = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 6), QTimeZone::utc());
        QCOMPARE(EventCsv::eventLine(utc), QString("7,2024-01-02T03:04:05.006Z,output-on,,user,\"output on\""));
    }

    void csvFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record 3 events.csv");
        QString error;
        const QList<RecordEvent> events = someEvents();
        QVERIFY2(EventCsv::write(events, path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                                 "AtMs,Time,Kind,Channel,Source,Text\r\n"));
        QVERIFY(bytes.endsWith("\"recording stopped\"\r\n"));
        const QList<QByteArray> lines = bytes.mid(3).split('\n');
        QCOMPARE(lines.size(), events.size() + 2); // the header, the events, nothing after the last line end
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(QString::fromUtf8(lines.at(3)), EventCsv::eventLine(events.at(2)) + "\r");
        QVERIFY(QString::fromUtf8(lines.at(3)).contains("中文"));

        // No events: the header alone.
        QVERIFY(EventCsv::write({}, path, &error));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF"
                                            "AtMs,Time,Kind,Channel,Source,Text\r\n"));
        file.close();

        // A folder that is not there: false, and the reason names the file.
        const QString nowhere = dir.filePath("missing/events.csv");
        QVERIFY(!EventCsv::write(events, nowhere, &error));
        QVERIFY2(error.contains("events.csv"), qPrintable(error));
        QVERIFY(!QFile::exists(nowhere));
    }

    void storeRoundTrip()
    {
        RecordFile file;
        QVERIFY(file.ok());
        EventStore store(file.db());
        bool present = true;
        QVERIFY(store.hasTables(&present));
        QVERIFY(!present);

        const QList<RecordEvent> events = someEvents();
        const QList<ChannelTotal> totals{{0, 0.00125, 0.00625}, {2, -1e-7, 3.5}};
        QVERIFY2(store.save("3", events, totals), qPrintable(store.lastError().text()));
        QVERIFY(store.hasTables(&present));
        QVERIFY(present);

        QList<RecordEvent> loaded;
        QVERIFY(store.loadEvents("3", &loaded));
        QCOMPARE(loaded, events);
        QCOMPARE(loaded.at(2).text, events.at(2).text);
        QCOMPARE(loaded.at(1).at.offsetFromUtc(), 7200);
        QList<ChannelTotal> loadedTotals;
        QVERIFY(store.loadTotals("3", &loadedTotals));
        QCOMPARE(loadedTotals, totals);

        // As other programs read them: channels from 1, none as NULL, names.
        QCOMPARE(file.rows("select Seq, AtMs, At, Kind, Channel, Source from recordevents where RecNo=? "
                           "order by Seq limit 2",
                           {"3"}),
                 (QList<QStringList>{{"1", "0", "2024-05-01T12:00:00.000+02:00", "recording-start", "", "user"},
                                     {"2", "1500", "2024-05-01T12:00:01.500+02:00", "set", "1", "script"}}));
        QVERIFY(file.column("select Channel from recordevents where Seq=1").first().isNull());
        QCOMPARE(file.column("select Channel from recordtotals where RecNo='3' order by Channel"),
                 (QVariantList{1, 3}));

        // Saved again: replaced, not added to; other records untouched.
        QVERIFY(store.save("4", events.mid(0, 2), {{1, 1, 2}}));
        QVERIFY(store.save("3", events.mid(4), {}));
        QVERIFY(store.loadEvents("3", &loaded));
        QCOMPARE(loaded, events.mid(4));
        QVERIFY(store.loadTotals("3", &loadedTotals));
        QVERIFY(loadedTotals.isEmpty());
        QVERIFY(store.loadEvents("4", &loaded));
        QCOMPARE(loaded, events.mid(0, 2));

        // Written as the record is taken: appended in order, totals replaced.
        QVERIFY(store.appendEvents("6", events.mid(0, 2)));
        QVERIFY(store.appendEvents("6", {}));
        QVERIFY(store.appendEvents("6", events.mid(2)));
        QVERIFY(store.saveTotals("6", {{0, 1, 1}}));
        QVERIFY(store.saveTotals("6", totals));
        QVERIFY(store.loadEvents("6", &loaded));
        QCOMPARE(loaded, events);
        QVERIFY(store.loadTotals("6", &loadedTotals));
        QCOMPARE(loadedTotals, totals);

        // A record never saved with events has none.
        QVERIFY(store.loadEvents("99", &loaded));
        QVERIFY(loaded.isEmpty());

        // A kind a later program wrote comes back as a mark naming it.
        QVERIFY(file.column("insert into recordevents (RecNo, Seq, AtMs, At, Kind, Channel, Source, Text) "
                            "values ('5', 1, 10, '', 'battery-empty', 2, 'robot', 'cell 3')")
                    .isEmpty());
        QVERIFY(store.loadEvents("5", &loaded));
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().kind, Kind::Mark);
        QCOMPARE(loaded.first().text, QString("battery-empty: cell 3"));
        QCOMPARE(loaded.first().source, Source::Program);
        QCOMPARE(loaded.first().channel, 1);
        QVERIFY(!loaded.first().at.isValid());

        // Deleted with its record.
        QVERIFY(store.deleteRecord("4"));
        QVERIFY(store.loadEvents("4", &loaded));
        QVERIFY(loaded.isEmpty());
        QVERIFY(store.loadTotals("4", &loadedTotals));
        QVERIFY(loadedTotals.isEmpty());
        QVERIFY(store.loadEvents("3", &loaded));
        QCOMPARE(loaded.size(), 2);
    }

    void oldFileLoadsAsBefore()
    {
        // A record file of an earlier version: no event tables.
        QTemporaryDir dir;
        const QString path = dir.filePath("old.mdb");
        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray before = sha(path);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old-file");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            EventStore store(db);
            QList<RecordEvent> events{someEvents().first()};
            QList<ChannelTotal> totals{{0, 1, 1}};
            QVERIFY(store.loadEvents("1", &events));
            QVERIFY(events.isEmpty());
            QVERIFY(store.loadTotals("1", &totals));
            QVERIFY(totals.isEmpty());
            QVERIFY(store.deleteRecord("1"));
            bool present = true;
            QVERIFY(store.hasTables(&present));
            QVERIFY(!present);
            db.close();
        }
        QSqlDatabase::removeDatabase("old-file");
        QCOMPARE(sha(path), before);

        // Opened read-only: reads the same, a save fails cleanly.
        QFile::setPermissions(path, QFile::ReadOwner);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old-file-ro");
            db.setDatabaseName(path);
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
            QVERIFY(db.open());
            EventStore store(db);
            QList<RecordEvent> events;
            QVERIFY(store.loadEvents("1", &events));
            QVERIFY(events.isEmpty());
            QVERIFY(!store.save("1", someEvents(), {}));
            QVERIFY(store.lastError().isValid());
            bool present = true;
            QVERIFY(store.hasTables(&present));
            QVERIFY(!present);
            db.close();
        }
        QSqlDatabase::removeDatabase("old-file-ro");
        QCOMPARE(sha(path), before);
    }

    void deletedWithTheRecordByTheGraphWindowStore()
    {
        RecordFile file;
        QVERIFY(file.ok());
        RecordDatabase records(file.db());
        RecordHeader header;
        header.startTime = "2024/05/01 12:00:00";
        QString first;
        QString second;
        QVERIFY(records.beginRecord(header, &first));
        QVERIFY(records.beginRecord(header, &second));
        QVERIFY(first != second);

        // Without the event tables a record is deleted as before.
        GraphRecordStore graph(file.db());
        QString third;
        QVERIFY(records.beginRecord(header, &third));
        QVERIFY2(graph.deleteRecord(third), qPrintable(graph.lastError().text()));

        EventStore store(file.db());
        QVERIFY(store.save(first, someEvents(), {{0, 1, 2}}));
        QVERIFY(store.save(second, someEvents(), {{0, 3, 4}}));
        QVERIFY2(graph.deleteRecord(first), qPrintable(graph.lastError().text()));
        QCOMPARE(file.column("select count(*) from datamain where RecNo=?", {first}).first().toInt(), 0);
        QCOMPARE(file.column("select count(*) from recordevents where RecNo=?", {first}).first().toInt(), 0);
        QCOMPARE(file.column("select count(*) from recordtotals where RecNo=?", {first}).first().toInt(), 0);
        QList<RecordEvent> kept;
        QVERIFY(store.loadEvents(second, &kept));
        QCOMPARE(kept.size(), someEvents().size());
    }
};

int runStorageTests(int argc, char **argv)
{
    TestEventStorage storage;
    return QTest::qExec(&storage, argc, argv);
}

#include "tst_eventstorage.moc"
