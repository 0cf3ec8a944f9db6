#include "platform/CatalogueUpgrade.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace qle;

namespace {

const char *const Connection = "tst_catalogueupgrade";

// Runs statements on an SQLite file, creating it when missing.
void execAll(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", Connection);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            QVERIFY2(query.exec(statement), qPrintable(statement + ": " + query.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(Connection);
}

// Every row of a query as text, columns separated by '|', NULL as "<null>".
QStringList rows(const QString &path, const QString &select)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", Connection);
        db.setDatabaseName(path);
        if (!db.open())
            return {"<cannot open>"};
        QSqlQuery query(db);
        if (!query.exec(select))
            return {"<error> " + query.lastError().text()};
        while (query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i)
                columns.append(query.value(i).isNull() ? QString("<null>") : query.value(i).toString());
            out.append(columns.join('|'));
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(Connection);
    return out;
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

const QString AllModelColumns =
    "SELECT MTYPE, Offered, Layout, PerChannel, VoltMax, CurrMax, OvpMax, VoltStep, CurrStep, "
    "OvpStep, VoltFormat, CurrFormat, OvpFormat FROM data1";

} // namespace

class TestCatalogueUpgrade : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_user = m_dir.filePath("user-" + QString::number(++m_case) + ".mdb");
        QVERIFY(QFile::exists(m_shipped));
    }

    // An older catalogue that lacks two models, has one model edited by the
    // user, one model of the user's own and a saved record.
    void addsOnlyTheMissingModelsAndKeepsTheUsersRows()
    {
        QVERIFY(QFile::copy(m_shipped, m_user));
        QFile::setPermissions(m_user, QFile::ReadOwner | QFile::WriteOwner);
        execAll(m_user, {"DELETE FROM data1 WHERE MTYPE IN ('KMC-0505', 'QLE-5505', 'KMA-3303T#2')",
                         "UPDATE data1 SET VoltMax = 99, Offered = 0 WHERE MTYPE = 'KMA-3005'",
                         "INSERT INTO data1 (MTYPE, Offered, Layout, VoltMax) VALUES ('MY-0001', 1, 2, 12)",
                         "INSERT INTO datamain (RecNo, StartTime, Comment) VALUES ('7', '2024-01-01 10:00', 'bench')",
                         "INSERT INTO datadetail (RecNo, SeqNo, PVal) VALUES ('7', 1, '12.00')"});
        if (QTest::currentTestFailed())
            return;
        const QStringList recordsBefore =
            rows(m_user, "SELECT * FROM datamain") + rows(m_user, "SELECT * FROM datadetail");
        const QByteArray shippedBefore = digest(m_shipped);

        const CatalogueUpgrade::Result result = CatalogueUpgrade::addMissingModels(m_user, m_shipped);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.added, QStringList({"KMA-3303T#2", "KMC-0505", "QLE-5505"}));

        // The copied rows are the shipped rows, column for column.
        for (const QString &model : result.added) {
            const QString where = " WHERE MTYPE = '" + model + "'";
            QCOMPARE(rows(m_user, AllModelColumns + where), rows(m_shipped, AllModelColumns + where));
        }
        QCOMPARE(rows(m_user, "SELECT VoltMax, Offered FROM data1 WHERE MTYPE = 'KMA-3005'"), QStringList({"99|0"}));
        QCOMPARE(rows(m_user, "SELECT Layout, VoltMax FROM data1 WHERE MTYPE = 'MY-0001'"), QStringList({"2|12"}));
        QCOMPARE(rows(m_user, "SELECT COUNT(*) FROM data1"),
                 QStringList({QString::number(rows(m_shipped, "SELECT MTYPE FROM data1").size() + 1)}));
        QCOMPARE(rows(m_user, "SELECT * FROM datamain") + rows(m_user, "SELECT * FROM datadetail"), recordsBefore);
        QCOMPARE(digest(m_shipped), shippedBefore);
    }

    void aSecondRunAddsNothing()
    {
        QVERIFY(QFile::copy(m_shipped, m_user));
        QFile::setPermissions(m_user, QFile::ReadOwner | QFile::WriteOwner);
        execAll(m_user, {"DELETE FROM data1 WHERE MTYPE = 'KMB-6001'"});
        QCOMPARE(CatalogueUpgrade::addMissingModels(m_user, m_shipped).added, QStringList({"KMB-6001"}));
        const QStringList after = rows(m_user, AllModelColumns + " ORDER BY MTYPE");

        const CatalogueUpgrade::Result again = CatalogueUpgrade::addMissingModels(m_user, m_shipped);
        QVERIFY2(again.ok, qPrintable(again.error));
        QVERIFY(again.added.isEmpty());
        QCOMPARE(rows(m_user, AllModelColumns + " ORDER BY MTYPE"), after);
        QCOMPARE(after, rows(m_shipped, AllModelColumns + " ORDER BY MTYPE"));
    }

    // A catalogue whose data1 has its columns in another order, lacks one the
    // shipped file has and has one of its own: values go by column name.
    void matchesColumnsByName()
    {
        execAll(m_user, {"CREATE TABLE data1 (Note TEXT DEFAULT 'mine', CurrMax REAL, MTYPE TEXT PRIMARY KEY, "
                         "VoltMax REAL, Layout INTEGER, Offered INTEGER)",
                         "INSERT INTO data1 (MTYPE, VoltMax) VALUES ('KMA-3303T', 1)"});
        const QString shipped = m_dir.filePath("shipped-" + QString::number(m_case) + ".mdb");
        execAll(shipped, {"CREATE TABLE data1 (MTYPE TEXT PRIMARY KEY, Offered INTEGER, Layout INTEGER, "
                          "VoltMax REAL, CurrMax REAL, OvpFormat TEXT)",
                          "INSERT INTO data1 VALUES ('KMA-3303T', 1, 1, 30, 3, '0.00')",
                          "INSERT INTO data1 VALUES ('NEW-6010', 1, 2, 60, 10, '0.0')"});

        const CatalogueUpgrade::Result result = CatalogueUpgrade::addMissingModels(m_user, shipped);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.added, QStringList({"NEW-6010"}));
        QCOMPARE(rows(m_user, "SELECT MTYPE, Offered, Layout, VoltMax, CurrMax, Note FROM data1 ORDER BY MTYPE"),
                 QStringList({"KMA-3303T|<null>|<null>|1|<null>|mine", "NEW-6010|1|2|60|10|mine"}));
    }

    void missingFilesChangeNothing()
    {
        const QString absent = m_dir.filePath("absent.mdb");
        const CatalogueUpgrade::Result noUser = CatalogueUpgrade::addMissingModels(absent, m_shipped);
        QVERIFY(!noUser.ok);
        QVERIFY(!noUser.error.isEmpty());
        QVERIFY(!QFile::exists(absent));

        QVERIFY(QFile::copy(m_shipped, m_user));
        QFile::setPermissions(m_user, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray before = digest(m_user);
        const CatalogueUpgrade::Result noShipped = CatalogueUpgrade::addMissingModels(m_user, absent);
        QVERIFY(!noShipped.ok);
        QVERIFY(!noShipped.error.isEmpty());
        QVERIFY(!QFile::exists(absent));
        QCOMPARE(digest(m_user), before);
    }

    void aFileWithoutTheModelTableIsRefused()
    {
        execAll(m_user, {"CREATE TABLE datamain (RecNo TEXT)", "INSERT INTO datamain VALUES ('1')"});
        const QByteArray before = digest(m_user);
        const CatalogueUpgrade::Result result = CatalogueUpgrade::addMissingModels(m_user, m_shipped);
        QVERIFY(!result.ok);
        QVERIFY(result.added.isEmpty());
        QVERIFY(result.error.contains("data1"));
        QCOMPARE(digest(m_user), before);
    }

    void aFileThatIsNoDatabaseIsRefused()
    {
        QFile file(m_user);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        const QByteArray before = digest(m_user);
        const CatalogueUpgrade::Result result = CatalogueUpgrade::addMissingModels(m_user, m_shipped);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(digest(m_user), before);
    }

    // An insert that fails part way (here a trigger refuses the second model)
    // leaves the user's table as it was: the first model is not kept either.
    void aFailedInsertAddsNoRowAtAll()
    {
        execAll(m_user, {"CREATE TABLE data1 (MTYPE TEXT PRIMARY KEY, VoltMax REAL)",
                         "INSERT INTO data1 VALUES ('KMA-3303T', 30)"});
        const QString shipped = m_dir.filePath("shipped-" + QString::number(m_case) + ".mdb");
        execAll(shipped, {"CREATE TABLE data1 (MTYPE TEXT PRIMARY KEY, VoltMax REAL)",
                          "INSERT INTO data1 VALUES ('A-1', 1)", "INSERT INTO data1 VALUES ('B-2', 2)"});
        execAll(m_user, {"CREATE TRIGGER refuse_b BEFORE INSERT ON data1 WHEN NEW.MTYPE = 'B-2' "
                         "BEGIN SELECT RAISE(ABORT, 'refused'); END"});

        const CatalogueUpgrade::Result result = CatalogueUpgrade::addMissingModels(m_user, shipped);
        QVERIFY(!result.ok);
        QVERIFY(result.added.isEmpty());
        QVERIFY2(result.error.contains("refused"), qPrintable(result.error));
        QCOMPARE(rows(m_user, "SELECT MTYPE FROM data1 ORDER BY MTYPE"), QStringList({"KMA-3303T"}));
    }

    void theShippedFileItselfIsLeftAlone()
    {
        const QByteArray before = digest(m_shipped);
        const CatalogueUpgrade::Result result = CatalogueUpgrade::addMissingModels(m_shipped, m_shipped);
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(result.added.isEmpty());
        QCOMPARE(digest(m_shipped), before);
    }

    void leavesNoConnectionBehind()
    {
        QVERIFY(QFile::copy(m_shipped, m_user));
        QFile::setPermissions(m_user, QFile::ReadOwner | QFile::WriteOwner);
        execAll(m_user, {"DELETE FROM data1 WHERE MTYPE = 'QLE-3003'"});
        const QStringList before = QSqlDatabase::connectionNames();
        QCOMPARE(CatalogueUpgrade::addMissingModels(m_user, m_shipped).added, QStringList({"QLE-3003"}));
        QCOMPARE(CatalogueUpgrade::addMissingModels(m_user, m_dir.filePath("absent.mdb")).ok, false);
        QCOMPARE(QSqlDatabase::connectionNames(), before);
    }

private:
    QTemporaryDir m_dir;
    QString m_user;
    int m_case = 0;
    const QString m_shipped = QStringLiteral(QLE_SHIPPED_CATALOGUE);
};

QTEST_GUILESS_MAIN(TestCatalogueUpgrade)
#include "tst_catalogueupgrade.moc"
