#include "shell/DataForm.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace qle;

class TestDataForm : public QObject {
    Q_OBJECT

private:
    static QString shipped() { return QStringLiteral(QLE_SHIPPED_CATALOGUE); }

    static void copyShipped(const QTemporaryDir &dir)
    {
        QVERIFY(QFile::copy(shipped(), dir.filePath("mtype.mdb")));
        QFile::setPermissions(dir.filePath("mtype.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    }

private slots:
    void opensTheShippedCatalogue()
    {
        QTemporaryDir dir;
        copyShipped(dir);
        DataForm form;
        QCOMPARE(form.open(dir.path()), DataForm::OpenResult::Ok);
        const CatalogueRow *row = form.findFirst("KMA-3303T");
        QVERIFY(row);
        QVERIFY(row->offered());
        QCOMPARE(row->layout(), 1);
        QVERIFY(row->perChannel());
        QCOMPARE(row->column(12).toString(), QString("0.00"));
        const CatalogueRow *third = form.findFirst("KMA-3303T#3");
        QVERIFY(third);
        QVERIFY(!third->offered());
        QCOMPARE(third->column(4).toDouble(), 5.0);
        QCOMPARE(form.findFirst("QLE-5505")->layout(), 3);
        QVERIFY(!form.findFirst("KMA-9000")->offered());
        QVERIFY(!form.findFirst("NOPE"));

        // Every family has at least two offered models, of more than one layout.
        QMap<QChar, QSet<int>> layouts;
        QMap<QChar, int> offered;
        for (const CatalogueRow &r : form.MyRec()) {
            if (r.offered()) {
                offered[r.mtype().at(2)] += 1;
                layouts[r.mtype().at(2)].insert(r.layout());
            }
        }
        for (const QChar family : {u'A', u'B', u'C', u'E'}) {
            QVERIFY2(offered.value(family) >= 2, qPrintable(QString(family)));
            QVERIFY(layouts.value(family).size() >= 2);
        }

        // The record tables come with the catalogue, empty.
        QSqlQuery count(QSqlDatabase::database(DataForm::ConnectionName));
        for (const char *table : {"datatemp", "datamain", "datadetail", "datacopy", "DataWindow1"}) {
            QVERIFY2(count.exec(QString("select count(*) from ") + table), table);
            QVERIFY(count.next());
            QCOMPARE(count.value(0).toInt(), 0);
        }
    }

    void missingFileIsReported()
    {
        QTemporaryDir dir;
        DataForm form;
        QCOMPARE(form.open(dir.path()), DataForm::OpenResult::Missing);
        QVERIFY(!QFile::exists(dir.filePath("mtype.mdb")));
    }

    void damagedIndexIsRepairedWithADatedBackup()
    {
        QTemporaryDir dir;
        copyShipped(dir);
        const QString path = dir.filePath("mtype.mdb");
        {
            // Records in the file, then a broken index page under them.
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("PRAGMA journal_mode=DELETE"));
            QVERIFY(q.exec("insert into datamain (RecNo, Comment) values ('1', 'kept')"));
            for (int i = 0; i < 300; ++i)
                QVERIFY(q.exec(QString("insert into datatemp (SeqNo, PVal) values (%1, '1.0')").arg(i)));
            QVERIFY(q.exec("select rootpage from sqlite_master where name = 'datatemp_seqno'"));
            QVERIFY(q.next());
            const int rootPage = q.value(0).toInt();
            QVERIFY(q.exec("PRAGMA page_size"));
            QVERIFY(q.next());
            const int pageSize = q.value(0).toInt();
            q.finish();
            db.close();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(qint64(rootPage - 1) * pageSize + 8));
            file.write(QByteArray(64, '\x7f'));
        }
        QSqlDatabase::removeDatabase("damage");
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray damaged = original.readAll();
        original.close();

        DataForm form;
        QCOMPARE(form.open(dir.path(), shipped()), DataForm::OpenResult::Ok);
        const QString backup = dir.filePath("mtype" + QDate::currentDate().toString("yyyyMMdd") + ".mdb");
        QVERIFY(QFile::exists(backup));
        QFile backupFile(backup);
        QVERIFY(backupFile.open(QIODevice::ReadOnly));
        QCOMPARE(backupFile.readAll(), damaged);
        QVERIFY(QFile::exists(dir.filePath("mtypenew.mdb")));
        QVERIFY(form.findFirst("KMA-3303T"));
        QSqlQuery q(QSqlDatabase::database(DataForm::ConnectionName));
        QVERIFY(q.exec("select Comment from datamain where RecNo = '1'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("kept"));
        QVERIFY(q.exec("PRAGMA integrity_check"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("ok"));
    }

    void unreadableFileIsReplacedByTheShippedCatalogue()
    {
        QTemporaryDir dir;
        QFile garbage(dir.filePath("mtype.mdb"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        DataForm form;
        QCOMPARE(form.open(dir.path()), DataForm::OpenResult::Unrepairable);
        QCOMPARE(form.open(dir.path(), shipped()), DataForm::OpenResult::Ok);
        QVERIFY(form.findFirst("QLE-5505"));
        QFile backup(dir.filePath("mtype" + QDate::currentDate().toString("yyyyMMdd") + ".mdb"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray(4096, 'x'));
    }
};

QTEST_GUILESS_MAIN(TestDataForm)
#include "tst_dataform.moc"
