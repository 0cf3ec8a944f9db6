#include "platform/SqliteFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace qle;

// A recording killed with SIGKILL again and again on the same record file:
// after every kill the file is intact and holds every row the recorder had
// reported as written, in the working table or, once a later run kept them,
// in a saved record.
class TestCrashSafeRecording : public QObject {
    Q_OBJECT

private:
    // QLE_CRASH_KILLS asks for more (make soak).
    static int kills()
    {
        const int asked = qEnvironmentVariableIntValue("QLE_CRASH_KILLS");
        return asked > 25 ? asked : 25;
    }

    struct Reported {
        int run;
        int seqNo;
        QString voltage;
    };

    // What one killed child said before it died.
    struct RunLog {
        QStringList saved;
        bool started = false;
        QList<Reported> rows;
        QString error;
    };

    static RunLog parse(int run, const QByteArray &output)
    {
        RunLog log;
        static const QRegularExpression rowLine(QStringLiteral("^row (\\d+) (\\S+)$"));
        for (const QByteArray &raw : output.split('\n')) {
            const QString line = QString::fromUtf8(raw);
            if (line.startsWith("saved ")) {
                log.saved.append(line.mid(6));
            } else if (line == "started") {
                log.started = true;
            } else if (const QRegularExpressionMatch m = rowLine.match(line); m.hasMatch()) {
                log.rows.append({run, m.captured(1).toInt(), m.captured(2)});
            } else if (!line.isEmpty()) {
                // A line cut by the kill is not a report; anything else is.
                if (!line.startsWith("row") && !line.startsWith("started") && !line.startsWith("saved"))
                    log.error += line + u'\n';
            }
        }
        return log;
    }

    // Every row of the working table and of the saved records, as "where|seq|values".
    static QStringList storedRows(QSqlDatabase &db, const QString &table)
    {
        QStringList rows;
        QSqlQuery q(db);
        if (!q.exec("select SeqNo, PVal, SVal, PVal2, SVal2, PVal3, SVal3 from " + table))
            return {"query failed: " + table};
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < 7; ++i)
                values.append(q.value(i).toString());
            rows.append(values.join(u'|'));
        }
        return rows;
    }

    static QString expectedRow(const Reported &r)
    {
        QStringList values{QString::number(r.seqNo)};
        for (int ch = 1; ch <= 3; ++ch) {
            values.append(QStringLiteral("r%1v%2c%3").arg(r.run).arg(r.seqNo).arg(ch));
            values.append(QStringLiteral("r%1a%2c%3").arg(r.run).arg(r.seqNo).arg(ch));
        }
        return values.join(u'|');
    }

private slots:
    void everyReportedRowSurvivesEveryKill()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mtype.mdb");
        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);

        const quint32 seed = qEnvironmentVariableIsSet("QLE_CRASH_SEED")
                                 ? qEnvironmentVariableIntValue("QLE_CRASH_SEED")
                                 : QRandomGenerator::global()->generate();
        qInfo("seed %u (QLE_CRASH_SEED repeats it)", seed);
        QRandomGenerator random(seed);

        QList<Reported> reported;
        int runsWithRows = 0;
        int savesSeen = 0;
        const int Kills = kills();
        for (int run = 1; run <= Kills; ++run) {
            QProcess child;
            child.setProcessChannelMode(QProcess::SeparateChannels);
            child.start(QStringLiteral(QLE_RECORDER_CHILD), {path, QString::number(run)});
            QVERIFY2(child.waitForStarted(5000), qPrintable(child.errorString()));
            QByteArray output;
            if (run % 5 == 0) {
                // Any moment from the start: opening the file, saving what the
                // last run left, clearing, the first rows.
                QTest::qSleep(static_cast<int>(random.bounded(120)));
            } else {
                // After a random number of rows, while the next ones are written.
                const int rows = 1 + static_cast<int>(random.bounded(400));
                QDeadlineTimer deadline(60000);
                while (output.count("\nrow ") + (output.startsWith("row ") ? 1 : 0) < rows &&
                       child.state() == QProcess::Running && !deadline.hasExpired()) {
                    child.waitForReadyRead(50);
                    output += child.readAllStandardOutput();
                }
            }
            QVERIFY2(child.state() == QProcess::Running,
                     qPrintable("the recorder ended on its own: " + output + child.readAllStandardError()));
            child.kill(); // SIGKILL
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            output += child.readAllStandardOutput();

            const RunLog log = parse(run, output);
            QVERIFY2(log.error.isEmpty(), qPrintable(log.error + child.readAllStandardError()));
            reported += log.rows;
            runsWithRows += log.rows.isEmpty() ? 0 : 1;
            savesSeen += static_cast<int>(log.saved.size());

            // The file as the next start of the program finds it.
            const QString name = QStringLiteral("crash-check-%1").arg(run);
            QString error;
            QVERIFY2(sqlite::open(name, path, &error), qPrintable(error));
            {
                QSqlDatabase db = QSqlDatabase::database(name);
                QSqlQuery check(db);
                QVERIFY(check.exec("PRAGMA integrity_check"));
                QStringList result;
                while (check.next())
                    result.append(check.value(0).toString());
                QCOMPARE(result, QStringList{"ok"});

                const QStringList working = storedRows(db, "datatemp");
                QStringList saved;
                QSqlQuery records(db);
                QVERIFY(records.exec("select distinct RecNo from datadetail"));
                while (records.next())
                    saved += storedRows(db, "datadetail where RecNo = '" + records.value(0).toString() + "'");
                const QSet<QString> present =
                    QSet<QString>(working.begin(), working.end()) + QSet<QString>(saved.begin(), saved.end());
                for (const Reported &r : reported) {
                    QVERIFY2(
                        present.contains(expectedRow(r)),
                        qPrintable(
                            QStringLiteral("run %1 row %2 is lost after kill %3").arg(r.run).arg(r.seqNo).arg(run)));
                }
                // Kept once only: a save that was cut off is not repeated as a copy.
                QCOMPARE(QSet<QString>(saved.begin(), saved.end()).size(), saved.size());
                // A run that began recording owns the working table: its rows,
                // and at most the one it was committing when it died.
                if (log.started) {
                    QVERIFY2(
                        working.size() == log.rows.size() || working.size() == log.rows.size() + 1,
                        qPrintable(
                            QStringLiteral("%1 working rows, %2 reported").arg(working.size()).arg(log.rows.size())));
                }
            }
            sqlite::close(name);
        }
        qInfo("%d kills, %d of them while rows were written, %lld rows reported, %d saves of left rows", Kills,
              runsWithRows, static_cast<long long>(reported.size()), savesSeen);
        // The kills fell where they matter: in the middle of writing rows.
        QVERIFY(runsWithRows >= Kills * 3 / 5);
    }
};

QTEST_GUILESS_MAIN(TestCrashSafeRecording)
#include "tst_crashsafe_recording.moc"
