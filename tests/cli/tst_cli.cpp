#include "MosquittoBroker.h"
#include "recording/database/RecordDatabase.h"
#include "recording/database/RecordTime.h"
#include "recording/events/EventStore.h"
#include "SimProcess.h"
#include "TopicReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace qle;
using namespace qle::testing;

// qle-cli against the virtual instrument, over a pseudo-terminal and TCP.
class TestCli : public QObject {
    Q_OBJECT

private:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };

    static Run cli(const QStringList &arguments, const QString &folder = {})
    {
        QProcess process;
        process.setWorkingDirectory(folder);
        // The shipped catalogue unless the test names a data folder.
        const QStringList data = arguments.contains("--data-dir")
                                     ? QStringList()
                                     : QStringList{"--data-dir", QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR)};
        process.start(QStringLiteral(QLE_CLI), data + arguments);
        Run run;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    static QStringList linkOf(const SimProcess &sim, bool tcp)
    {
        return tcp ? QStringList{"--tcp", sim.link()} : QStringList{"--port", sim.link()};
    }

    // A sequence file in `folder`.
    static QString sequenceFile(const QTemporaryDir &folder, const QString &text)
    {
        const QString path = folder.filePath("steps.seq");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(text.toUtf8());
        return path;
    }

    // The charge and energy lines of a log's or run's summary, by channel
    // from 1; empty when a line is missing or malformed.
    static QList<std::pair<double, double>> energyLines(const QString &summary, int channels)
    {
        QList<std::pair<double, double>> totals;
        for (int ch = 1; ch <= channels; ++ch) {
            const QRegularExpression line(QStringLiteral("\nCH%1: (\\d+\\.\\d{4}) Ah, (-?\\d+\\.\\d{4}) Wh\n").arg(ch));
            const QRegularExpressionMatch m = line.match(summary);
            if (!m.hasMatch())
                return {};
            totals.append({m.captured(1).toDouble(), m.captured(2).toDouble()});
        }
        return totals;
    }

private slots:
    void identifyReadSetSend_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("pseudo-terminal") << false;
        QTest::newRow("TCP") << true;
    }
    void identifyReadSetSend()
    {
        QFETCH(bool, tcp);
        SimProcess sim;
        QVERIFY(sim.start(tcp ? QStringList{"--model", "KMA-3303T", "--no-noise", "--tcp", "0"}
                              : QStringList{"--model", "KMA-3303T", "--no-noise"}));
        const QStringList link = linkOf(sim, tcp);

        Run r = cli(link + QStringList{"identify"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("Maker:    QV Instruments\nModel:    KMA-3303T\nSerial:   SN000123\n"
                                "Firmware: 1.0\nLayout:   1\nChannels: 3\n"));

        // The panels' command texts, a point whatever the locale.
        r = cli(link + QStringList{"set", "volt", "2", "5"});
        QCOMPARE(r.status, 0);
        QVERIFY(sim.received().contains(":CHAN2:VOLT 5."));
        r = cli(QStringList{"set", "curr", "2", "1.25"} + link);
        QCOMPARE(r.status, 0);
        QVERIFY(sim.received().contains(":CHAN2:CURR 1.25"));
        r = cli(link + QStringList{"set", "output", "on"});
        QCOMPARE(r.status, 0);
        QVERIFY(sim.received().contains(":OUTP:STAT 1"));

        r = cli(link + QStringList{"read", "--json"});
        QCOMPARE(r.status, 0);
        const QJsonObject all = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(all.value("model").toString(), QString("KMA-3303T"));
        QCOMPARE(all.value("output").toBool(), true);
        QCOMPARE(all.value("coupling").toString(), QString("indep"));
        const QJsonArray channels = all.value("channels").toArray();
        QCOMPARE(channels.size(), 3);
        QCOMPARE(channels.at(1).toObject().value("setVoltage").toDouble(), 5.0);
        QCOMPARE(channels.at(1).toObject().value("voltage").toDouble(), 5.0);
        QCOMPARE(channels.at(2).toObject().value("ovp").toDouble(), 5.5);
        // 5 V on the simulator's 10 ohm load.
        QCOMPARE(channels.at(1).toObject().value("power").toDouble(), 2.5);
        QVERIFY(channels.at(0).toObject().value("power").isDouble());

        r = cli(link + QStringList{"read"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith("CH         V         A         W     Set V     Set A       OVP\n"),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains("\n2      5.000     0.500     2.500     5.000     1.250"), qPrintable(r.out));
        QVERIFY(r.out.endsWith("Output: on  Coupling: indep\n"));

        r = cli(link + QStringList{"send", ":CHAN2:VOLT?"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("5.000\n"));

        // A line written by a client that closes at once is taken at once,
        // without a next client opening the link.
        r = cli(link + QStringList{"send", ":FOO:BAR"});
        QCOMPARE(r.status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains(":FOO:BAR"), 2000);
        // The error that line queued is not the next command's.
        r = cli(link + QStringList{"set", "volt", "1", "6"});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(r.err));
        QVERIFY(sim.received().contains(":CHAN1:VOLT 6."));

        if (tcp)
            return;
        // A path with a slash is a path from the current folder, not a device
        // of /dev.
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir("run"));
        QVERIFY(QFile::link(sim.link(), folder.filePath("run/a.pty")));
        r = cli({"--port", "run/a.pty", "identify"}, folder.path());
        QVERIFY2(r.status == 0 && r.out.contains("Model:    KMA-3303T"), qPrintable(r.err));
    }

    // The legacy family over TCP: its own command texts and status word.
    void legacyModel()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "QLE-5505", "--no-noise", "--tcp", "0"}));
        const QStringList link = linkOf(sim, true);
        QCOMPARE(cli(link + QStringList{"set", "volt", "1", "12.5"}).status, 0);
        QCOMPARE(cli(link + QStringList{"set", "output", "on"}).status, 0);
        QCOMPARE(cli(link + QStringList{"set", "coupling", "track"}).status, 0);
        QCOMPARE(sim.received().filter(QRegularExpression("^(VSET1:|OUT|TRACK)")),
                 (QStringList{"VSET1:12.5", "OUT1", "TRACK1"}));
        const Run r = cli(link + QStringList{"read"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains("1     12.500"), qPrintable(r.out));
        // No OVP column on the legacy family; the power still follows A.
        QVERIFY2(r.out.startsWith("CH         V         A         W     Set V     Set A\n"), qPrintable(r.out));
        QVERIFY(r.out.contains("Coupling: track"));
    }

    // Bad input: a clear message, the matching status, nothing sent.
    void badInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << 2 << "no command given";
        QTest::newRow("unknown command") << QStringList{"LINK", "frob"} << 2 << "unknown command \"frob\"";
        QTest::newRow("unknown option") << QStringList{"LINK", "read", "--fast"} << 2 << "unknown option --fast";
        QTest::newRow("no link") << QStringList{"identify"} << 2 << "no link given";
        QTest::newRow("two links") << QStringList{"LINK", "--tcp", "h:1", "read"} << 2 << "one link only";
        QTest::newRow("not a number") << QStringList{"LINK", "set", "volt", "1", "1,5"} << 2 << "not a number";
        QTest::newRow("no such channel") << QStringList{"LINK", "set", "volt", "4", "1"} << 2 << "has no channel 4";
        QTest::newRow("above the limit") << QStringList{"LINK", "set", "ovp", "3", "6"} << 2 << "0 to 5.5 V";
        QTest::newRow("negative") << QStringList{"LINK", "set", "curr", "1", "-1"} << 2 << "-1 A is outside the limits";
        QTest::newRow("bad memory") << QStringList{"LINK", "set", "save", "9"} << 2 << "N from 1 to 4";
        QTest::newRow("missing port") << QStringList{"--port", "/nonexistent/tty", "identify"} << 3
                                      << "cannot open the serial port /nonexistent/tty";
        QTest::newRow("bare port name") << QStringList{"--port", "nosuchtty0", "identify"} << 3
                                        << "cannot open the serial port /dev/nosuchtty0";
        QTest::newRow("refused TCP") << QStringList{"--tcp", "127.0.0.1:1", "identify"} << 3 << "cannot connect";
        QTest::newRow("duration past 366 days")
            << QStringList{"LINK", "log", "--duration", "1e30s"} << 2 << "--duration can be at most 366 days (366d)";
        QTest::newRow("duration overflowing") << QStringList{"LINK", "log", "--duration", "1e306d"} << 2 << "366d";
        QTest::newRow("duration not a number")
            << QStringList{"LINK", "log", "--duration", "nan"} << 2 << "--duration needs a time";
        QTest::newRow("duration infinite")
            << QStringList{"LINK", "log", "--duration", "inf"} << 2 << "--duration needs a time";
        QTest::newRow("duration negative")
            << QStringList{"LINK", "log", "--duration", "-3s"} << 2 << "--duration needs a time";
        QTest::newRow("interval past a day") << QStringList{"LINK", "log", "--interval", "1e30", "--duration", "2s"}
                                             << 2 << "--interval can be at most one day (1d";
        QTest::newRow("every past a day")
            << QStringList{"LINK", "log", "--duration", "2s", "--reduce", "avg", "--every", "1e30"} << 2
            << "--every can be at most one day (1d";
        QTest::newRow("time-out past a day")
            << QStringList{"LINK", "--timeout", "1e30", "identify"} << 2 << "at most 86400";
        QTest::newRow("time-out not a number")
            << QStringList{"LINK", "--timeout", "nan", "identify"} << 2 << "--timeout needs a number";
        QTest::newRow("no catalogue") << QStringList{"LINK", "--data-dir", "/nonexistent", "identify"} << 4
                                      << "no model catalogue";
        QTest::newRow("run without a file") << QStringList{"LINK", "run"} << 2 << "run needs the sequence file";
        QTest::newRow("run with two files") << QStringList{"LINK", "run", "a", "b"} << 2 << "run takes one file";
        QTest::newRow("run's interval without a recorder")
            << QStringList{"LINK", "run", "a.seq", "--interval", "2"} << 2 << "--interval goes with --csv or --record";
        QTest::newRow("run's interval too short")
            << QStringList{"LINK", "run", "a.seq", "--csv", "-", "--interval", "0.05"} << 2 << "0.1 or more";
        QTest::newRow("duration with run")
            << QStringList{"LINK", "run", "a.seq", "--duration", "5s"} << 2 << "--duration goes with log";
        QTest::newRow("check with read") << QStringList{"LINK", "read", "--check"} << 2 << "--check goes with run";
        QTest::newRow("csv with read") << QStringList{"LINK", "read", "--csv", "x"} << 2
                                       << "--csv goes with log or run";
        QTest::newRow("missing sequence file")
            << QStringList{"LINK", "run", "/nonexistent/a.seq"} << 4 << "cannot read /nonexistent/a.seq";
        QTest::newRow("mqtt with read") << QStringList{"LINK", "read", "--mqtt", "mqtt://h"} << 2
                                        << "--mqtt goes with log";
        QTest::newRow("mqtt to another scheme")
            << QStringList{"LINK", "log", "--duration", "2s", "--mqtt", "http://h"} << 2
            << "--mqtt: \"http://h\" is not an MQTT broker URL (scheme \"http\")";
        QTest::newRow("mqtt bench of two levels")
            << QStringList{"LINK", "log", "--duration", "2s", "--mqtt", "mqtt://h?bench=a/b"} << 2
            << "--mqtt: the bench name \"a/b\" contains '/'";
        QTest::newRow("refused command") << QStringList{"LINK", "send", ":CHAN9:VOLT 1"} << 0 << "";
    }
    void badInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        const qsizetype link = arguments.indexOf("LINK");
        if (link >= 0)
            arguments.replace(link, "--port=" + sim.link());
        const Run r = cli(arguments);
        const QString &err = r.err;
        QCOMPARE(r.status, status);
        QVERIFY2(err.contains(message), qPrintable(err));
        if (status != 0)
            QVERIFY2(err.count(u'\n') == 1 && err.startsWith("qle-cli: "), qPrintable(err));
        // Refused values never reach the instrument.
        QVERIFY(sim.received().filter(QRegularExpression("^:CHAN\\d:(VOLT|CURR|PROT:VOLT) ")).isEmpty() ||
                message.isEmpty());
        if (status == 2)
            QVERIFY(sim.received().filter("MEAS").isEmpty());
    }

    // A silent instrument times out; a link the other end closes is named
    // so at once, never as a late reply.
    void linkEndsEarly_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("killMidway");
        QTest::addColumn<QString>("message");
        const QStringList log{"--timeout", "10", "log", "--interval", "0.2", "--duration", "60s"};
        QTest::newRow("silent instrument")
            << false << QStringList{"--fault", "noreply *IDN?"} << QStringList{"--timeout", "1", "identify"} << false
            << "*IDN?: no reply within 1 s";
        QTest::newRow("killed during a log, TCP")
            << true << QStringList{} << log << true << "link closed: the instrument's link";
        QTest::newRow("killed during a log, pseudo-terminal")
            << false << QStringList{} << log << true << "link closed: the instrument's link";
        // The link drops after the set command; its error query is never answered.
        QTest::newRow("dropped during a set, TCP")
            << true << QStringList{"--fault", "disconnect 3"} << QStringList{"--timeout", "10", "set", "volt", "1", "5"}
            << false << "link closed: the instrument's link";
    }
    void linkEndsEarly()
    {
        QFETCH(bool, tcp);
        QFETCH(QStringList, simArguments);
        QFETCH(QStringList, command);
        QFETCH(bool, killMidway);
        QFETCH(QString, message);
        SimProcess sim;
        QVERIFY(sim.start(QStringList{"--model", "KMA-3303T"} + simArguments +
                          (tcp ? QStringList{"--tcp", "0"} : QStringList{})));
        QProcess process;
        process.start(QStringLiteral(QLE_CLI), QStringList{"--data-dir", QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR)} +
                                                   linkOf(sim, tcp) + command);
        QVERIFY(process.waitForStarted());
        if (killMidway) {
            // A few rows first.
            QTRY_VERIFY_WITH_TIMEOUT(process.peek(1 << 16).count('\n') >= 3, 10000);
            sim.kill();
        }
        QElapsedTimer clock;
        clock.start();
        QVERIFY(process.waitForFinished(30000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 3);
        QVERIFY2(err.contains(message) && err.count(u'\n') == 1, qPrintable(err));
        if (message.startsWith("link closed")) {
            QVERIFY2(!err.contains("no reply within") && err.contains("was closed by the other end"), qPrintable(err));
            QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        }
        // The rows taken before are kept.
        if (killMidway)
            QVERIFY(QString::fromLatin1(process.readAllStandardOutput()).startsWith("No.,Time,Ch1 V"));
    }

    void helpOnEveryCommand()
    {
        for (const char *command : {"ports", "identify", "read", "set", "send", "log", "run"}) {
            const Run r = cli({command, "--help"});
            QCOMPARE(r.status, 0);
            QVERIFY2(r.out.startsWith("Usage: qle-cli"), command);
            QVERIFY(r.out.contains(QLatin1String(command)));
        }
        const Run all = cli({"--help"});
        QCOMPARE(all.status, 0);
        QVERIFY(all.out.contains("Exit status: 0 done, 2 usage, 3 link or instrument error"));
        // The limits of the log's times, and where its rows go without a file.
        const Run log = cli({"log", "--help"});
        QVERIFY2(log.out.contains("S is 0.1 s to one day (1d), D at most 366 days (366d)"), qPrintable(log.out));
        QVERIFY(log.out.contains("the CSV lines go to standard output"));
        QVERIFY(log.out.contains("[--mqtt URL]") && log.out.contains("never taken by qle-cli"));
        QVERIFY(all.out.contains("--mqtt publishes them to an MQTT broker too"));
        QVERIFY(all.out.contains("run FILE [--check] [--csv FILE|-] [--record COMMENT] [--interval S]"));
        QVERIFY(all.out.contains("3\nalso for a run stopped before its last step"));
        const Run run = cli({"run", "--help"});
        QVERIFY2(run.out.contains("Exit status: 0 all steps done; 2 a fault in the file or its check, nothing sent;"),
                 qPrintable(run.out));
    }

    // A log to a CSV file and a record at once: the same rows in both, the
    // record listed and loaded as the main program does; a SIGTERM midway
    // keeps every row taken.
    void logKeepsEveryRow_data()
    {
        QTest::addColumn<bool>("interrupted");
        QTest::newRow("five seconds") << false;
        QTest::newRow("SIGTERM midway") << true;
    }
    void logKeepsEveryRow()
    {
        QFETCH(bool, interrupted);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T"}));
        QVERIFY(sim.control("set volt 1 5"));
        QVERIFY(sim.control("output on"));
        QTemporaryDir data;
        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR) + "/mtype.mdb", data.filePath("mtype.mdb")));
        QFile::setPermissions(data.filePath("mtype.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        const QString csvPath = data.filePath("log.csv");

        QProcess process;
        process.start(QStringLiteral(QLE_CLI),
                      {"--port", sim.link(), "--data-dir", data.path(), "log", "--interval", "0.5", "--duration",
                       interrupted ? "60s" : "5s", "--csv", csvPath, "--record", "cli log"});
        QVERIFY(process.waitForStarted());
        if (interrupted) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile(csvPath).size() > 0 && QFile(csvPath).size() > 200, 20000);
            process.terminate();
        }
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QString said = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(said.contains("ended by a signal"), interrupted);

        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QString("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A"));
        const qsizetype rows = lines.size() - 1;
        if (interrupted)
            QVERIFY(rows >= 3 && rows < 100);
        else
            QCOMPARE(rows, 10);
        QVERIFY2(said.startsWith(QString::number(rows) + " rows, record "), qPrintable(said));

        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cli-records");
            db.setDatabaseName(data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            RecordDatabase records(db);
            QList<RecordHeader> headers;
            QVERIFY(records.listRecords(&headers));
            QCOMPARE(headers.size(), 1);
            QCOMPARE(headers.first().comment, QString("cli log"));
            QVERIFY(records.loadRecord(headers.first().recNo));
            QList<RecordRow> loaded;
            QVERIFY(records.workingRows(ReasonFilter::All, &loaded));
            QCOMPARE(loaded.size(), rows);
            for (qsizetype i = 0; i < rows; ++i) {
                const QStringList fields = lines.at(i + 1).split(u',');
                QCOMPARE(fields.size(), 8);
                QCOMPARE(fields.at(2), loaded.at(i).pval[0]);
                QCOMPARE(fields.at(3), loaded.at(i).sval[0]);
                QVERIFY(fields.at(2).startsWith("5.") || fields.at(2).startsWith("4.9"));
            }
            QCOMPARE(headers.first().endTime, loaded.last().recTime);
            db.close();
        }
        QSqlDatabase::removeDatabase("cli-records");
    }

    // A log that could not be kept never starts.
    void logRefusesWhatItCannotKeep()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T"}));
        QTemporaryDir data;
        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR) + "/mtype.mdb", data.filePath("mtype.mdb")));
        QFile::setPermissions(data.filePath("mtype.mdb"), QFile::ReadOwner);
        const QStringList base{"--port", sim.link(), "--data-dir", data.path(), "log", "--duration", "2s"};
        Run r;
        // File modes do not hold back root, who runs the CI.
        if (::geteuid() != 0) {
            r = cli(base + QStringList{"--record", "x"});
            QCOMPARE(r.status, 4);
            QVERIFY2(r.err.contains("cannot write records to"), qPrintable(r.err));
        }
        r = cli(base + QStringList{"--csv", "/nonexistent/folder/log.csv"});
        QCOMPARE(r.status, 4);
        QVERIFY2(r.err.contains("cannot write /nonexistent/folder/log.csv"), qPrintable(r.err));
        r = cli(base + QStringList{"--interval", "0.05"});
        QCOMPARE(r.status, 2);
        r = cli(base + QStringList{"--reduce", "max"});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("--reduce and --every go together"));
        QVERIFY(sim.received().filter("MEAS").isEmpty());
    }

    // GPIB through a Prologix USB adapter, chosen in the settings' [GPIB]
    // section as the main program chooses it.
    void gpibFromTheSettings()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--prologix", "--gpib-address", "5=KMA-3303T", "--no-noise"}));
        QTemporaryDir config;
        QFile file(config.filePath("QLE-1-0.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[GPIB]\nBackend=prologix-usb\nAdapterPort=" + sim.link().toUtf8() + "\n");
        file.close();
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const Run r = cli({"--gpib", "0:5", "identify"});
        const Run missing = cli({"--gpib", "0:7", "--timeout", "2", "identify"});
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains("Model:    KMA-3303T"), qPrintable(r.out + r.err));
        QCOMPARE(missing.status, 3);
    }

    // One stored row per --every, as the recorders reduce, in a file or on
    // standard output; and a model the catalogue lacks.
    void reducedLogAndUnknownModel_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::newRow("CSV file") << "reduced.csv";
        QTest::newRow("no file: standard output") << "";
        QTest::newRow("--csv -: standard output") << "-";
    }
    void reducedLogAndUnknownModel()
    {
        QFETCH(QString, csv);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T"}));
        QVERIFY(sim.control("set volt 1 5"));
        QVERIFY(sim.control("output on"));
        QTemporaryDir data;
        const bool toFile = csv.endsWith(".csv");
        const QStringList csvArguments =
            csv.isEmpty() ? QStringList{} : QStringList{"--csv", toFile ? data.filePath(csv) : csv};
        Run r = cli(QStringList{"--port", sim.link(), "log", "--interval", "0.25", "--duration", "2s", "--reduce",
                                "max", "--every", "1s"} +
                    csvArguments);
        QCOMPARE(r.status, 0);
        // The rows alone on standard output, the count on standard error.
        const QString summary = toFile ? r.out : r.err;
        QVERIFY2(summary.startsWith("2 rows\nCH1: ") && summary.count(u'\n') == 4, qPrintable(summary));
        QString written = r.out;
        if (toFile) {
            QVERIFY(r.err.isEmpty());
            QFile file(data.filePath(csv));
            QVERIFY(file.open(QIODevice::ReadOnly));
            written = QString::fromLatin1(file.readAll());
        }
        QVERIFY(written.endsWith("\r\n"));
        const QStringList lines = written.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.first(), QString("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A"));
        // Four readings a row went into it: at least as many queries as that.
        QVERIFY(sim.received().filter(":CHAN1:MEAS:VOLT?").size() >= 8);
        QVERIFY(lines.at(2).split(u',').at(2).startsWith("5.") || lines.at(2).split(u',').at(2).startsWith("4.9"));

        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR) + "/mtype.mdb", data.filePath("mtype.mdb")));
        QFile::setPermissions(data.filePath("mtype.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cli-catalogue");
            db.setDatabaseName(data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("delete from data1 where MTYPE like 'KMA-3303T%'"));
            db.close();
        }
        QSqlDatabase::removeDatabase("cli-catalogue");
        r = cli({"--port", sim.link(), "--data-dir", data.path(), "identify"});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.contains("unknown model: \"KMA-3303T\""), qPrintable(r.err));
        QVERIFY(r.out.contains("Model:    KMA-3303T"));
    }

    // Charge and energy of a known load, 5 V into 10 ohm: every reading
    // counts, whether it makes a row or is folded into one; --energy adds the
    // running figures to the CSV and leaves it as it was without; a record
    // keeps the totals.
    void logCountsEnergy_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("energyColumns");
        QTest::newRow("every reading a row, --energy and --record")
            << QStringList{"--energy", "--record", "energy"} << true;
        QTest::newRow("every reading a row, plain CSV") << QStringList{} << false;
        QTest::newRow("two readings a row, --energy")
            << QStringList{"--energy", "--reduce", "avg", "--every", "2s"} << true;
    }
    void logCountsEnergy()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, energyColumns);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        QVERIFY(sim.control("set volt 1 5"));
        QVERIFY(sim.control("load 1 10"));
        QVERIFY(sim.control("output on"));
        QTemporaryDir data;
        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR) + "/mtype.mdb", data.filePath("mtype.mdb")));
        QFile::setPermissions(data.filePath("mtype.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        const QString csvPath = data.filePath("energy.csv");
        const Run r = cli(QStringList{"--port", sim.link(), "--data-dir", data.path(), "log", "--interval", "1",
                                      "--duration", "6s", "--csv", csvPath} +
                          options);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QList<std::pair<double, double>> energy = energyLines(r.out, 3);
        QVERIFY2(energy.size() == 3, qPrintable(r.out));
        QCOMPARE(energy.at(1), std::make_pair(0.0, 0.0));

        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 4, qPrintable(lines.join('\n')));
        const QString plain("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A");
        QCOMPARE(lines.first(),
                 energyColumns ? plain + ",Ch1 W,Ch1 Ah,Ch1 Wh,Ch2 W,Ch2 Ah,Ch2 Wh,Ch3 W,Ch3 Ah,Ch3 Wh" : plain);
        // The readings span the log, from the first at 0 s to the last; the
        // rows' times tell it for an unreduced log. A reduced log's rows
        // begin a row's time late, yet it counts from the first reading.
        const QStringList first = lines.at(1).split(u',');
        const QStringList last = lines.last().split(u',');
        QCOMPARE(last.size(), energyColumns ? 17 : 8);
        const bool reduced = options.contains("--reduce");
        const double seconds =
            static_cast<double>(parseRecordTime(first.at(1)).secsTo(parseRecordTime(last.at(1)))) + (reduced ? 1 : 0);
        QVERIFY2(seconds >= 4, qPrintable(lines.join('\n')));
        const double expectedAh = 0.5 * seconds / 3600;
        const double expectedWh = 2.5 * seconds / 3600;
        // Within 1 %, or half the last of the summary's four decimals.
        const auto near = [](double value, double expected) {
            return qAbs(value - expected) <= std::max(0.01 * expected, 0.00005);
        };
        QVERIFY2(near(energy.at(0).first, expectedAh), qPrintable(r.out));
        QVERIFY2(near(energy.at(0).second, expectedWh), qPrintable(r.out));
        if (energyColumns) {
            // Power of the row, then the running charge and energy.
            QCOMPARE(last.at(8), QString("2.500"));
            QCOMPARE(last.at(11), QString("0.000"));
            const double ah = last.at(9).toDouble();
            const double wh = last.at(10).toDouble();
            QVERIFY2(qAbs(ah - expectedAh) <= 0.01 * expectedAh, qPrintable(lines.last()));
            QVERIFY2(qAbs(wh - expectedWh) <= 0.01 * expectedWh, qPrintable(lines.last()));
            QVERIFY2(qAbs(ah - energy.at(0).first) <= 0.00005 + 1e-9, qPrintable(lines.last() + "\n" + r.out));
            QVERIFY2(qAbs(wh - energy.at(0).second) <= 0.00005 + 1e-9, qPrintable(lines.last() + "\n" + r.out));
            // Counted up from the first reading: the first row of an
            // unreduced log has nothing yet.
            QVERIFY(first.at(9).toDouble() < ah);
            if (!reduced)
                QCOMPARE(first.at(9), QString("0.000000"));
        }
        if (!options.contains("--record"))
            return;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cli-energy");
            db.setDatabaseName(data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            EventStore events(db);
            QList<ChannelTotal> totals;
            QVERIFY(events.loadTotals("1", &totals));
            QCOMPARE(totals.size(), 3);
            QVERIFY(qAbs(totals.first().chargeAh - energy.at(0).first) <= 0.00005 + 1e-9);
            QVERIFY(qAbs(totals.first().energyWh - energy.at(0).second) <= 0.00005 + 1e-9);
            QCOMPARE(totals.at(2).chargeAh, 0.0);
            db.close();
        }
        QSqlDatabase::removeDatabase("cli-energy");
    }

    // A ramp checked, then run to its end: the check's summary and nothing
    // sent after the identification, then every value in order on the wire,
    // each step in the log on standard error, nothing on standard output.
    void runRampToTheEnd_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("colon family") << "KMA-3303T"
                                      << QStringList{":CHAN1:CURR 1.",   ":OUTP:STAT 1",    ":CHAN1:VOLT 0.",
                                                     ":CHAN1:VOLT 0.25", ":CHAN1:VOLT 0.5", ":CHAN1:VOLT 0.75",
                                                     ":CHAN1:VOLT 1."};
        // Done once queued: the last values must still leave before the exit.
        QTest::newRow("legacy family") << "QLE-5505" << QStringList{"ISET1:1.",  "OUT1",       "VSET1:0.", "VSET1:0.25",
                                                                    "VSET1:0.5", "VSET1:0.75", "VSET1:1."};
    }
    void runRampToTheEnd()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, commands);
        SimProcess sim;
        QVERIFY(sim.start({"--model", model, "--no-noise"}));
        QTemporaryDir folder;
        const QString file = sequenceFile(
            folder, "set ch1 current 1 A\noutput on\nramp ch1 voltage 0 to 1 V over 1s steps 4\nmark \"top\"\n");
        const Run checked = cli({"--port", sim.link(), "run", file, "--check"});
        QVERIFY2(checked.status == 0 && checked.err.isEmpty(), qPrintable(checked.err));
        QCOMPARE(checked.out, QString("7 commands, about 1 s\n"));
        QCOMPARE(sim.received(), QStringList{"*IDN?"});

        const Run r = cli({"--port", sim.link(), "run", file});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(sim.commands(), commands);
        const QStringList log = r.err.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(log.first().contains("start: 7 commands, about 1 s"), qPrintable(r.err));
        QVERIFY2(
            r.err.contains(QRegularExpression("line 3: ch1 0.75 V \\(4 of 5\\)  \\(planned 0.750 s, \\+\\d+ ms\\)")),
            qPrintable(r.err));
        QVERIFY(r.err.contains("line 4: top\n"));
        QVERIFY(log.last().endsWith(" s  done: all steps done"));
        QVERIFY(!r.err.contains("qle-cli:"));
    }

    // A file with faults: every one at its line and column, status 2, and
    // nothing sent; a fault of the language before the link is even opened.
    void runRefusesAFaultyFile_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("diagnostics");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QStringList>("received");
        QTest::newRow("two faults of the language")
            << "output on\nset ch1 voltge 5\nwait 5 parsecs\n"
            << QStringList{":2:9: \"voltage\" expected after ch1, found \"voltge\"", ":3:"} << "2 faults in "
            << QStringList{};
        QTest::newRow("out of the model's limits")
            << "output on\nset ch1 voltage 99\nramp ch2 current 0 to 9 A over 10s steps 5\n"
            << QStringList{":2:17: 99 V is outside the limits of KMA-3303T ch1: 0 V to 30 V", ":3:"} << "2 faults in "
            << QStringList{"*IDN?"};
        QTest::newRow("record without --csv or --record")
            << "output on\nrecord start\n"
            << QStringList{":2:1: record start needs a recorder, and this run has none"} << "1 fault in "
            << QStringList{"*IDN?"};
    }
    void runRefusesAFaultyFile()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, diagnostics);
        QFETCH(QString, last);
        QFETCH(QStringList, received);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        QTemporaryDir folder;
        const QString file = sequenceFile(folder, text);
        const Run r = cli({"--port", sim.link(), "run", file});
        QCOMPARE(r.status, 2);
        const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), diagnostics.size() + 1);
        for (qsizetype i = 0; i < diagnostics.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(file + diagnostics.at(i)), qPrintable(r.err));
        QVERIFY2(lines.last().startsWith("qle-cli: " + last + file) && lines.last().endsWith("; nothing was sent"),
                 qPrintable(r.err));
        QTest::qWait(200);
        QCOMPARE(sim.received(), received);
    }

    // A run that ends early: status 3 with the reason, and the file's end
    // action on the wire, for a signal too.
    void runStopsEarly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("signal"); // sent once the wait of line 2 began; 0: none
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("message");
        QTest::newRow("wait until timed out")
            << "set ch1 voltage 1\noutput on\nwait until ch1 voltage > 20 V timeout 500ms\nset ch1 voltage 2\n"
            << 0 << QStringList{":CHAN1:VOLT 1.", ":OUTP:STAT 1", ":OUTP:STAT 0"}
            << "qle-cli: wait until of line 3 timed out after 500 ms";
        QTest::newRow("refused command") << "output on\ncoupling track\nset ch1 voltage 5\n"
                                         << 0 << QStringList{":OUTP:STAT 1", ":OUTP:COUP:TRAC 1", ":OUTP:STAT 0"}
                                         << "qle-cli: refused on line 3: field locked";
        QTest::newRow("SIGTERM during a wait") << "output on\nwait 1h\n"
                                               << int(SIGTERM) << QStringList{":OUTP:STAT 1", ":OUTP:STAT 0"}
                                               << "qle-cli: ended by a signal: stopped by request on line 2";
        QTest::newRow("SIGTERM, on stop: hold") << "output on\nwait 1h\non stop: hold\n"
                                                << int(SIGTERM) << QStringList{":OUTP:STAT 1"}
                                                << "qle-cli: ended by a signal: stopped by request on line 2";
        QTest::newRow("SIGINT during a wait until") << "output on\nwait until ch1 voltage > 20 V timeout 1h\n"
                                                    << int(SIGINT) << QStringList{":OUTP:STAT 1", ":OUTP:STAT 0"}
                                                    << "qle-cli: ended by a signal: stopped by request on line 2";
        QTest::newRow("SIGHUP during a wait") << "output on\nwait 1h\n"
                                              << int(SIGHUP) << QStringList{":OUTP:STAT 1", ":OUTP:STAT 0"}
                                              << "qle-cli: ended by a signal: stopped by request on line 2";
    }
    void runStopsEarly()
    {
        QFETCH(QString, text);
        QFETCH(int, signal);
        QFETCH(QStringList, commands);
        QFETCH(QString, message);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        QTemporaryDir folder;
        QProcess process;
        process.start(QStringLiteral(QLE_CLI), {"--data-dir", QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR), "--port",
                                                sim.link(), "run", sequenceFile(folder, text)});
        QVERIFY(process.waitForStarted());
        QString err;
        if (signal != 0) {
            QTRY_VERIFY_WITH_TIMEOUT(
                (err += QString::fromUtf8(process.readAllStandardError())).contains("line 2: wait"), 10000);
            QCOMPARE(sim.commands(), QStringList{":OUTP:STAT 1"});
            QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signal), 0);
        }
        QVERIFY(process.waitForFinished(15000));
        err += QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 3);
        QVERIFY2(err.endsWith(message + "\n"), qPrintable(err));
        QVERIFY2(err.contains(commands.contains(":OUTP:STAT 0") ? "on stop: output off sent\n"
                                                                : "on stop: hold, nothing sent\n"),
                 qPrintable(err));
        QCOMPARE(sim.commands(), commands);
    }

    // Rows while the run records: for the whole run, or from record start to
    // record stop, as log writes them, to a file, a record or standard output.
    void runRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("csv"); // "-": standard output; "": none
        QTest::addColumn<bool>("record");
        QTest::addColumn<int>("fewestRows");
        QTest::addColumn<int>("mostRows");
        // The rows' times in the record, in seconds from the run's start.
        QTest::addColumn<int>("firstSecond");
        QTest::addColumn<int>("lastSecond");
        QTest::newRow("whole run to a CSV file and a record")
            << "set ch1 voltage 5\noutput on\nmark \"warm\"\nwait 2s\n"
            << "run.csv" << true << 4 << 6 << 0 << 2;
        QTest::newRow("record steps to a CSV file and a record")
            << "set ch1 voltage 5\noutput on\nwait 1s\nrecord start\nmark \"warm\"\nwait 1.5s\nrecord stop\nwait 1s\n"
            << "run.csv" << true << 3 << 4 << 1 << 3;
        QTest::newRow("whole run on standard output") << "set ch1 voltage 5\noutput on\nmark \"warm\"\nwait 1s\n"
                                                      << "-" << false << 2 << 4 << -1 << -1;
    }
    void runRecords()
    {
        QFETCH(QString, text);
        QFETCH(QString, csv);
        QFETCH(bool, record);
        QFETCH(int, fewestRows);
        QFETCH(int, mostRows);
        QFETCH(int, firstSecond);
        QFETCH(int, lastSecond);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        QTemporaryDir data;
        QVERIFY(QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR) + "/mtype.mdb", data.filePath("mtype.mdb")));
        QFile::setPermissions(data.filePath("mtype.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        const bool toFile = csv != QLatin1String("-");
        QStringList arguments{"--port",     sim.link(),
                              "--data-dir", data.path(),
                              "run",        sequenceFile(data, text),
                              "--csv",      toFile ? data.filePath(csv) : csv,
                              "--interval", "0.5"};
        if (record)
            arguments << "--record"
                      << "sequence run";
        const Run r = cli(arguments);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        // The marks through the run log.
        QVERIFY2(r.err.contains(QRegularExpression(" s  line \\d: warm\n")), qPrintable(r.err));
        QString written = r.out;
        if (toFile) {
            QFile file(data.filePath(csv));
            QVERIFY(file.open(QIODevice::ReadOnly));
            written = QString::fromLatin1(file.readAll());
        }
        const QStringList lines = written.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QString("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A"));
        const qsizetype rows = lines.size() - 1;
        QVERIFY2(rows >= fewestRows && rows <= mostRows, qPrintable(written));
        // The count goes where the rows do not.
        const QString count = QString::number(rows) + " rows";
        const QString summary = toFile ? r.out : r.err.mid(r.err.lastIndexOf(count));
        QVERIFY2(summary.startsWith(count), qPrintable(r.out + r.err));
        const QList<std::pair<double, double>> energy = energyLines(summary, 3);
        QVERIFY2(energy.size() == 3, qPrintable(summary));
        // 0.5 A on channel 1 while recording; nothing on the others.
        QVERIFY2(energy.at(0).first > 0 && energy.at(0).second > 0, qPrintable(summary));
        QCOMPARE(energy.at(1).first, 0.0);
        for (qsizetype i = 1; i <= rows; ++i)
            QVERIFY2(lines.at(i).startsWith(QString::number(i - 1) + ","), qPrintable(lines.at(i)));
        QVERIFY2(lines.last().split(u',').value(2) == "5.000", qPrintable(lines.last()));
        if (!record)
            return;
        QVERIFY2(r.out.startsWith(count + ", record 1\nCH1: "), qPrintable(r.out));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cli-run-records");
            db.setDatabaseName(data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            RecordDatabase records(db);
            QList<RecordHeader> headers;
            QVERIFY(records.listRecords(&headers));
            QCOMPARE(headers.size(), 1);
            QCOMPARE(headers.first().comment, QString("sequence run"));
            QVERIFY(records.loadRecord(headers.first().recNo));
            QList<RecordRow> loaded;
            QVERIFY(records.workingRows(ReasonFilter::All, &loaded));
            QCOMPARE(loaded.size(), rows);
            for (qsizetype i = 0; i < rows; ++i) {
                const QStringList fields = lines.at(i + 1).split(u',');
                QCOMPARE(fields.at(2), loaded.at(i).pval[0]);
                QCOMPARE(fields.at(3), loaded.at(i).sval[0]);
            }
            EventStore events(db);
            QList<ChannelTotal> totals;
            QVERIFY(events.loadTotals(headers.first().recNo, &totals));
            QCOMPARE(totals.size(), 3);
            QCOMPARE(totals.first().channel, 0);
            QVERIFY(qAbs(totals.first().chargeAh - energy.at(0).first) <= 0.00005);
            QVERIFY(qAbs(totals.first().energyWh - energy.at(0).second) <= 0.00005);
            // Taken between record start and record stop only.
            QVERIFY2(loaded.first().timeTick >= firstSecond && loaded.last().timeTick <= lastSecond,
                     qPrintable(QString("%1 to %2").arg(loaded.first().timeTick).arg(loaded.last().timeTick)));
            db.close();
        }
        QSqlDatabase::removeDatabase("cli-run-records");
    }

    // log --mqtt: the same rows whether the broker is there or not, and
    // without --mqtt; what the log reads and the instrument's state on the
    // broker; a broker that is away is one line on standard error.
    void logPublishesToMqtt()
    {
        if (MosquittoBroker::program().isEmpty())
            QSKIP("mosquitto is not installed");
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        QVERIFY(sim.control("set volt 1 5"));
        QVERIFY(sim.control("load 1 10"));
        QVERIFY(sim.control("output on"));
        MosquittoBroker broker;
        QVERIFY(broker.start());
        TopicReader reader;
        QVERIFY(reader.start(broker.port()));
        const QStringList log{"--port", sim.link(), "log", "--interval", "0.5", "--duration", "2s"};
        const QStringList mqtt{"--mqtt", broker.url("bench-cli")};
        // The rows without their time.
        const auto values = [](const QString &csv) {
            QStringList rows = csv.split('\n', Qt::SkipEmptyParts);
            for (QString &row : rows) {
                QStringList fields = row.split(u',');
                fields.removeAt(1);
                row = fields.join(u',');
            }
            return rows;
        };

        const Run published = cli(log + mqtt);
        QCOMPARE(published.status, 0);
        QVERIFY2(published.err.contains("qle-cli: MQTT connected to 127.0.0.1:" + QString::number(broker.port())),
                 qPrintable(published.err));
        const QString at = "qle/bench-cli/";
        QVERIFY(reader.waitFor(at + "status", [](const auto &m) { return m.payload == "offline" && m.retained; }));
        QCOMPARE(reader.last(at + "output")->payload, QByteArray("on"));
        QCOMPARE(reader.last(at + "ch1/set")->payload, QByteArray("{\"current\":3,\"ovp\":33,\"voltage\":5}"));
        QVERIFY(reader.last(at + "instrument")->payload.contains("\"model\":\"KMA-3303T\""));
        const QList<TopicReader::Message> measured = reader.on(at + "ch1/measured");
        QVERIFY(!measured.isEmpty() && measured.size() <= 4);
        const QJsonObject reading = QJsonDocument::fromJson(measured.last().payload).object();
        QCOMPARE(reading.value("voltage").toDouble(), 5.0);
        QCOMPARE(reading.value("current").toDouble(), 0.5);
        QCOMPARE(reading.value("power").toDouble(), 2.5);

        broker.stop();
        QElapsedTimer clock;
        clock.start();
        const Run away = cli(log + mqtt);
        QCOMPARE(away.status, 0);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(away.err.contains(
                     QString("qle-cli: MQTT broker 127.0.0.1:%1 not reachable, retrying in 5 s\n").arg(broker.port())),
                 qPrintable(away.err));

        const Run plain = cli(log);
        QCOMPARE(plain.status, 0);
        QCOMPARE(values(plain.out).size(), 5); // the header and four rows
        QCOMPARE(values(published.out), values(plain.out));
        QCOMPARE(values(away.out), values(plain.out));
    }

    // However the log ends, the broker says "offline": published at a
    // signal's clean end, the last will when the program is killed.
    void mqttOfflineWhenTheLogEnds_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGKILL") << SIGKILL;
    }
    void mqttOfflineWhenTheLogEnds()
    {
        if (MosquittoBroker::program().isEmpty())
            QSKIP("mosquitto is not installed");
        QFETCH(int, signal);
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        MosquittoBroker broker;
        QVERIFY(broker.start());
        TopicReader reader;
        QVERIFY(reader.start(broker.port()));
        QProcess process;
        process.start(QStringLiteral(QLE_CLI),
                      {"--data-dir", QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR), "--port", sim.link(), "log",
                       "--interval", "0.2", "--duration", "60s", "--mqtt", broker.url("bench-end")});
        QVERIFY(process.waitForStarted());
        QVERIFY(reader.waitFor("qle/bench-end/status", [](const auto &m) { return m.payload == "online"; }));
        QVERIFY(reader.waitFor("qle/bench-end/ch1/measured"));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QVERIFY(reader.waitFor("qle/bench-end/status",
                               [](const auto &m) { return m.payload == "offline" && m.retained && m.qos == 1; }));
        if (signal == SIGTERM) {
            QCOMPARE(process.exitCode(), 0);
            QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("MQTT disconnected from"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
