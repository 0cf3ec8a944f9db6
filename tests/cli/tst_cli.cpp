#include "SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

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

    static Run cli(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(QLE_CLI),
                      QStringList{"--data-dir", QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR)} + arguments);
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

        r = cli(link + QStringList{"read"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains("2      5.000     0.500     5.000     1.250"), qPrintable(r.out));
        QVERIFY(r.out.endsWith("Output: on  Coupling: indep\n"));

        r = cli(link + QStringList{"send", ":CHAN2:VOLT?"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("5.000\n"));
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
        QTest::newRow("refused TCP") << QStringList{"--tcp", "127.0.0.1:1", "identify"} << 3 << "cannot connect";
        QTest::newRow("no catalogue") << QStringList{"LINK", "--data-dir", "/nonexistent", "identify"} << 4
                                      << "no model catalogue";
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
        // --data-dir given twice is a usage error of its own: the one row
        // that names it runs without the default.
        QProcess process;
        const QStringList defaults = arguments.contains("--data-dir")
                                         ? QStringList{}
                                         : QStringList{"--data-dir", QStringLiteral(QLE_SHIPPED_CATALOGUE_DIR)};
        process.start(QStringLiteral(QLE_CLI), defaults + arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(err.contains(message), qPrintable(err));
        if (status != 0)
            QVERIFY2(err.count(u'\n') == 1 && err.startsWith("qle-cli: "), qPrintable(err));
        // Refused values never reach the instrument.
        QVERIFY(sim.received().filter(QRegularExpression("^:CHAN\\d:(VOLT|CURR|PROT:VOLT) ")).isEmpty() ||
                message.isEmpty());
    }

    void silentInstrumentTimesOut()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--fault", "noreply *IDN?"}));
        const Run r = cli({"--port", sim.link(), "--timeout", "1", "identify"});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.contains("*IDN?: no reply within 1 s"), qPrintable(r.err));
    }

    void helpOnEveryCommand()
    {
        for (const char *command : {"ports", "identify", "read", "set", "send"}) {
            const Run r = cli({command, "--help"});
            QCOMPARE(r.status, 0);
            QVERIFY2(r.out.startsWith("Usage: qle-cli"), command);
            QVERIFY(r.out.contains(QLatin1String(command)));
        }
        const Run all = cli({"--help"});
        QCOMPARE(all.status, 0);
        QVERIFY(all.out.contains("Exit status: 0 done, 2 usage, 3 link or instrument error"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
