#include "Checked.h"
#include "instrument/Instrument.h"
#include "MemorySettings.h"
#include "platform/FormatPattern.h"
#include "protocol/Catalogue.h"
#include "sequence/ProgramMeasure.h"
#include "sequence/SequenceLoader.h"
#include "sequence/SequenceRunner.h"
#include "SimProcess.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>
#include <QTimer>

using namespace qle;
using namespace qle::sequence;
using namespace qle::testing;

namespace {

// A host that notes what the run asked of it.
class HostDouble final : public ISequenceHost {
public:
    [[nodiscard]] bool canRecord() const override { return recorder; }
    std::optional<QString> startRecording() override
    {
        calls << "start recording";
        return refusal;
    }
    void stopRecording() override { calls << "stop recording"; }
    void mark(const QString &text) override { calls << "mark " + text; }
    bool beginLivePolling() override
    {
        calls << "live polling";
        return pollingFeedsModel;
    }
    void restorePolling() override { calls << "polling restored"; }

    bool recorder = true;
    bool pollingFeedsModel = false;
    std::optional<QString> refusal;
    QStringList calls;
};

// A line the instrument received, with the simulator's time of it.
struct WireLine {
    double ms = 0;
    QString text;
};

QList<WireLine> receivedWithTimes(const SimProcess &sim)
{
    QList<WireLine> lines;
    QFile file(sim.transcriptPath());
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(" < ");
        if (at > 0)
            lines.append({line.left(at).toDouble(), QString::fromLatin1(line.mid(at + 3))});
    }
    return lines;
}

QStringList commandsOnly(const QStringList &lines)
{
    QStringList commands;
    for (const QString &line : lines) {
        if (!line.endsWith(u'?'))
            commands << line;
    }
    return commands;
}

QStringList entriesOf(const SequenceRunner &runner, RunLogEntry::Kind kind)
{
    QStringList texts;
    for (const RunLogEntry &entry : runner.log()) {
        if (entry.kind == kind)
            texts << entry.text;
    }
    return texts;
}

RunLogEntry lastOf(const SequenceRunner &runner, RunLogEntry::Kind kind)
{
    for (qsizetype i = runner.log().size() - 1; i >= 0; --i) {
        if (runner.log().at(i).kind == kind)
            return runner.log().at(i);
    }
    return {};
}

QString wholeLog(const SequenceRunner &runner)
{
    QStringList lines;
    for (const RunLogEntry &entry : runner.log())
        lines << entry.format();
    return lines.join('\n');
}

} // namespace

// Sequences run on the virtual instrument through an Instrument: what goes
// over the wire and when, the waits on readings, the end of a run.
class TestSequenceRun : public QObject {
    Q_OBJECT

private:
    QList<CatalogueRow> catalogue;
    MemorySettings settings;

    // Each instrument on a TCP port of its own: the tests of the program's
    // serial links running beside these keep the pseudo-terminals.
    static bool startSim(SimProcess &sim, const QString &model)
    {
        return sim.start({"--model", model, "--no-noise", "--tcp", "0"});
    }

    void connectTo(Instrument &instrument, const SimProcess &sim, double timeoutSec = 5)
    {
        LinkOptions link;
        link.kind = LinkOptions::Kind::Tcp;
        link.host = sim.link().section(u':', 0, 0);
        link.tcpPort = static_cast<quint16>(sim.link().section(u':', 1).toUInt());
        link.timeoutSec = timeoutSec;
        std::optional<QString> opened;
        instrument.open(link, settings, [&](const QString &error) { opened = error; });
        QTRY_VERIFY_WITH_TIMEOUT(opened.has_value(), 10000);
        QCOMPARE(*opened, QString());
        std::optional<Outcome> identified;
        instrument.identify([this](const QString &mtype) { return FindCatalogueRow(catalogue, mtype); },
                            [&](const Outcome &outcome) { identified = outcome; });
        QTRY_VERIFY_WITH_TIMEOUT(identified.has_value(), 10000);
        QVERIFY2(identified->done(), qPrintable(identified->text));
    }

    static Program programOf(const QString &text)
    {
        const LoadResult loaded = loadSequence(text);
        if (!loaded.ok())
            qWarning("%s", qPrintable(formatDiagnostics(loaded.diagnostics)));
        return loaded.program;
    }

    // Starts `text` and waits for the run's end.
    static void runToEnd(SequenceRunner &runner, const QString &text, int timeoutMs = 20000)
    {
        QSignalSpy finished(&runner, &SequenceRunner::finished);
        const CheckResult checked = runner.start(programOf(text));
        QVERIFY2(checked.ok(), qPrintable(checked.report()));
        QCOMPARE(finished.size(), 0);
        QVERIFY(finished.wait(timeoutMs));
        QCOMPARE(finished.size(), 1);
    }

private slots:
    void initTestCase()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "catalogue");
        db.setDatabaseName(QStringLiteral(QLE_SHIPPED_CATALOGUE));
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        QVERIFY(db.open());
        QString error;
        QVERIFY2(ReadCatalogue(db, &catalogue, &error), qPrintable(error));
    }

    // Every value in order, from the start value to exactly the end value,
    // each where the plan has it, timed where the instrument received it.
    void rampOnTheWire()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        CHECKED(runToEnd(runner, "set ch1 ocp on\nramp ch1 voltage 0 to 2 V over 2s steps 20\nmark \"end\""));
        QCOMPARE(runner.state(), SequenceRunner::State::Done);
        QCOMPARE(runner.endReason(), SequenceRunner::EndReason::Completed);
        QVERIFY(sim.received().contains(":CHAN1:PROT:CURR 1"));

        QList<WireLine> ramp;
        for (const WireLine &line : receivedWithTimes(sim)) {
            if (line.text.startsWith(":CHAN1:VOLT "))
                ramp << line;
        }
        QCOMPARE(ramp.size(), 21);
        double worstMs = 0;
        for (int i = 0; i < ramp.size(); ++i) {
            bool ok = false;
            const double value = ReadNumber(ramp.at(i).text.mid(12), &ok);
            QVERIFY2(ok, qPrintable(ramp.at(i).text));
            QCOMPARE(value, i == 20 ? 2.0 : std::round(i * 100.0) / 1000);
            worstMs = std::max(worstMs, std::abs(ramp.at(i).ms - ramp.first().ms - i * 100.0));
        }
        QVERIFY2(worstMs < 50, qPrintable(QString("a value %1 ms off its time").arg(worstMs)));

        // The run log has each value with its planned time, 100 ms apart.
        QList<RunLogEntry> values;
        for (const RunLogEntry &entry : runner.log()) {
            if (entry.kind == RunLogEntry::Kind::RampValue)
                values << entry;
        }
        QCOMPARE(values.size(), 21);
        QCOMPARE(values.first().text, QString("ch1 0 V (1 of 21)"));
        QCOMPARE(values.last().text, QString("ch1 2 V (21 of 21)"));
        QCOMPARE(values.last().line, 2);
        for (int i = 1; i < values.size(); ++i)
            QVERIFY(qAbs(values.at(i).plannedMs - values.first().plannedMs - i * 100.0) < 0.01);
        QVERIFY(values.last().actualMs - values.last().plannedMs < 50);
        QVERIFY(runner.elapsedSec() >= 2.0);
    }

    // A pause holds the ramp; the rest of it comes later by the time paused.
    void pauseHoldsARamp()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        QList<SequenceRunner::State> states;
        connect(&runner, &SequenceRunner::stateChanged, this, [&](SequenceRunner::State s) { states << s; });
        QVERIFY(runner.start(programOf("ramp ch2 current 0 to 1 A over 1s steps 10")).ok());
        QTRY_VERIFY(entriesOf(runner, RunLogEntry::Kind::RampValue).size() == 4);
        runner.pause();
        QCOMPARE(runner.state(), SequenceRunner::State::Paused);
        const DurationEstimate left = runner.remaining();
        QVERIFY2(left.knownSec > 0.55 && left.knownSec < 0.75 && !left.open, qPrintable(left.text()));
        QVERIFY2(runner.statusText().startsWith("paused, line 1, ") && runner.statusText().endsWith(" ms left"),
                 qPrintable(runner.statusText()));
        QTest::qWait(100);
        const qsizetype heldAt = sim.received().filter(":CHAN2:CURR ").size();
        QTest::qWait(600);
        QCOMPARE(sim.received().filter(":CHAN2:CURR ").size(), heldAt);
        runner.resume();
        QTRY_COMPARE_WITH_TIMEOUT(runner.state(), SequenceRunner::State::Done, 5000);
        QCOMPARE(states, (QList<SequenceRunner::State>{SequenceRunner::State::Running, SequenceRunner::State::Paused,
                                                       SequenceRunner::State::Running, SequenceRunner::State::Done}));
        QCOMPARE(sim.received().filter(":CHAN2:CURR ").size(), 11);
        // Planned times after the pause moved by its length, so the values
        // still come on time.
        const RunLogEntry last = lastOf(runner, RunLogEntry::Kind::RampValue);
        QCOMPARE(last.text, QString("ch2 1 A (11 of 11)"));
        QVERIFY2(last.plannedMs > 1650 && last.plannedMs < 1900, qPrintable(wholeLog(runner)));
        QVERIFY2(qAbs(last.actualMs - last.plannedMs) < 50, qPrintable(wholeLog(runner)));
    }

    // The load draws 0.5 A at 5 V: the wait ends on readings the runner
    // asked for, and the run goes on.
    void waitUntilMetByTheLoad()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        QVERIFY(sim.control("load 1 10"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        CHECKED(runToEnd(runner, "set ch1 voltage 5\noutput on\nwait until ch1 current > 0.4 A timeout 10s\n"
                                 "set ch1 voltage 1"));
        QCOMPARE(runner.state(), SequenceRunner::State::Done);
        const QStringList ended = entriesOf(runner, RunLogEntry::Kind::WaitEnded);
        QCOMPARE(ended, QStringList{"ch1 current > 0.4 A met; ch1 read 5 V, 0.5 A, 2.5 W"});
        const QStringList received = sim.received();
        const qsizetype on = received.indexOf(":OUTP:STAT 1");
        const qsizetype asked = received.indexOf(":CHAN1:MEAS:CURR?");
        QVERIFY(on > 0 && asked > on);
        QCOMPARE(commandsOnly(received.mid(asked)), QStringList{":CHAN1:VOLT 1."});
    }

    // Readings from before the wait do not count: here they meet the
    // condition, the fresh ones do not.
    void waitTimesOut_data()
    {
        QTest::addColumn<QString>("orElse");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("lastCommand");
        QTest::newRow("else stop") << "else stop" << int(SequenceRunner::State::Stopped) << ":OUTP:STAT 0";
        QTest::newRow("stop by default") << "" << int(SequenceRunner::State::Stopped) << ":OUTP:STAT 0";
        QTest::newRow("else continue") << "else continue" << int(SequenceRunner::State::Done) << ":CHAN1:VOLT 0.5";
    }
    void waitTimesOut()
    {
        QFETCH(QString, orElse);
        QFETCH(int, state);
        QFETCH(QString, lastCommand);
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        QVERIFY(sim.control("load 1 10"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        // 0.5 A in the model before the run.
        CHECKED(runToEnd(runner, "set ch1 voltage 5\noutput on\nwait until ch1 current > 0.4 A timeout 5s"));
        QCOMPARE(instrument.channel(0).current->value, 0.5);

        CHECKED(runToEnd(runner, "set ch1 voltage 1\nwait until ch1 current > 0.4 A timeout 800ms " + orElse +
                                     "\nset ch1 voltage 0.5"));
        QCOMPARE(int(runner.state()), state);
        const QStringList ended = entriesOf(runner, RunLogEntry::Kind::WaitEnded);
        QCOMPARE(ended.size(), 1);
        QVERIFY2(ended.first().startsWith("ch1 current > 0.4 A timed out after 800 ms"), qPrintable(ended.first()));
        QVERIFY2(ended.first().endsWith("ch1 read 1 V, 0.1 A, 0.1 W"), qPrintable(ended.first()));
        QTRY_COMPARE(commandsOnly(sim.received()).last(), lastCommand);
        if (runner.state() == SequenceRunner::State::Stopped) {
            QCOMPARE(runner.endReason(), SequenceRunner::EndReason::WaitTimedOut);
            QCOMPARE(runner.endText(), QString("wait until of line 2 timed out after 800 ms"));
            QCOMPARE(sim.received().filter(":CHAN1:VOLT 0.5").size(), 0);
        }
        // About three readings in 800 ms at 250 ms a period.
        const qsizetype readings = sim.received().filter(":CHAN1:MEAS:CURR?").size();
        QVERIFY2(readings >= 3 + 1 && readings <= 5 + 1, qPrintable(QString::number(readings)));
    }

    void nestedRepeatSendsEachPass()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        const QString text = "repeat 3\n  output on\n  repeat 2\n    set ch2 voltage 1.5\n  end\n  output off\nend";
        QCOMPARE(runner.check(programOf(text)).commands, 12);
        CHECKED(runToEnd(runner, text));
        QCOMPARE(runner.state(), SequenceRunner::State::Done);
        const QStringList pass{":OUTP:STAT 1", ":CHAN2:VOLT 1.5", ":CHAN2:VOLT 1.5", ":OUTP:STAT 0"};
        QCOMPARE(commandsOnly(sim.received()), pass + pass + pass);
        // Each command had its error read after it.
        QCOMPARE(sim.received().filter(":SYST:ERR?").size(), 12);
        QCOMPARE(entriesOf(runner, RunLogEntry::Kind::Step).size(), 12);
        QVERIFY(entriesOf(runner, RunLogEntry::Kind::Step).contains("set ch2 voltage 1.5  [pass 3 of 3, pass 2 of 2]"));
    }

    // The legacy family's commands are done once queued: a file of them
    // without waits goes out at the link's pace, never past the engine's
    // queue, and nests no deeper for each.
    void legacyCommandsKeepToTheLink()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "QLE-5505"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        CHECKED(runToEnd(runner, "repeat 300\noutput on\noutput off\nend", 60000));
        QVERIFY2(runner.state() == SequenceRunner::State::Done, qPrintable(runner.endText()));
        QTRY_COMPARE(commandsOnly(sim.received()).size(), 600);
        QCOMPARE(commandsOnly(sim.received()).last(), QString("OUT0"));
    }

    void stopDuringAWait_data()
    {
        QTest::addColumn<QString>("onStop");
        QTest::addColumn<QStringList>("afterStop");
        QTest::addColumn<QString>("endNote");
        QTest::newRow("output off by default") << "" << QStringList{":OUTP:STAT 0"} << "on stop: output off sent";
        QTest::newRow("output off said") << "on stop: output off" << QStringList{":OUTP:STAT 0"}
                                         << "on stop: output off sent";
        QTest::newRow("hold") << "on stop: hold" << QStringList{} << "on stop: hold, nothing sent";
    }
    void stopDuringAWait()
    {
        QFETCH(QString, onStop);
        QFETCH(QStringList, afterStop);
        QFETCH(QString, endNote);
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        QSignalSpy finished(&runner, &SequenceRunner::finished);
        QVERIFY(
            runner.start(programOf("output on\nwait until ch1 voltage > 40 V timeout 1h\noutput off\n" + onStop)).ok());
        QTRY_COMPARE(runner.currentLine(), 2);
        QTRY_VERIFY(sim.received().contains(":CHAN1:MEAS:CURR?"));
        QVERIFY(runner.remaining().open);
        const qsizetype before = commandsOnly(sim.received()).size();
        runner.stop();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(runner.state(), SequenceRunner::State::Stopped);
        QCOMPARE(runner.endReason(), SequenceRunner::EndReason::Requested);
        QCOMPARE(runner.endText(), QString("stopped by request on line 2"));
        QTest::qWait(300);
        QCOMPARE(commandsOnly(sim.received()).mid(before), afterStop);
        QVERIFY2(entriesOf(runner, RunLogEntry::Kind::Note).contains(endNote), qPrintable(wholeLog(runner)));
        QCOMPARE(runner.log().last().text, QString("stopped: stopped by request on line 2"));
    }

    // A value the model refuses at run time (a coupled channel) ends the
    // run with the reason, and the end action still goes out.
    void refusalEndsTheRun()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        CHECKED(runToEnd(runner, "output on\ncoupling track\nset ch1 voltage 5\nwait 1s"));
        QCOMPARE(runner.state(), SequenceRunner::State::Stopped);
        QCOMPARE(runner.endReason(), SequenceRunner::EndReason::Refused);
        QCOMPARE(runner.endText(), QString("refused on line 3: field locked"));
        QCOMPARE(commandsOnly(sim.received()), (QStringList{":OUTP:STAT 1", ":OUTP:COUP:TRAC 1", ":OUTP:STAT 0"}));
    }

    // The instrument's own refusal, here of a supply that became a 5 V
    // model after it was identified, ends the run with its error text.
    void instrumentErrorEndsTheRun()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        QVERIFY(sim.control("model KMC-0505"));
        SequenceRunner runner(instrument);
        CHECKED(runToEnd(runner, "output on\nset ch1 voltage 12\nwait 1s"));
        QCOMPARE(runner.state(), SequenceRunner::State::Stopped);
        QCOMPARE(runner.endReason(), SequenceRunner::EndReason::InstrumentError);
        QVERIFY2(runner.endText().startsWith("instrument error on line 2: -222"), qPrintable(runner.endText()));
        QCOMPARE(instrument.lastError(), runner.endText().mid(QString("instrument error on line 2: ").size()));
        QTRY_COMPARE(commandsOnly(sim.received()), (QStringList{":OUTP:STAT 1", ":CHAN1:VOLT 12.", ":OUTP:STAT 0"}));
    }

    void linkLossEndsTheRun_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::newRow("instrument gone") << true;
        QTest::newRow("no more replies") << false;
    }
    void linkLossEndsTheRun()
    {
        QFETCH(bool, kill);
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim, 1));
        SequenceRunner runner(instrument);
        QSignalSpy finished(&runner, &SequenceRunner::finished);
        QVERIFY(runner.start(programOf("output on\nrepeat 100\nset ch1 voltage 1\nwait 100ms\nend")).ok());
        QTRY_VERIFY(sim.received().filter(":CHAN1:VOLT").size() >= 2);
        if (kill)
            sim.kill();
        else
            QVERIFY(sim.control("fault noreply-after 1"));
        QVERIFY(finished.wait(10000) || finished.size() == 1);
        QCOMPARE(runner.state(), SequenceRunner::State::Stopped);
        QCOMPARE(runner.endReason(), SequenceRunner::EndReason::LinkLost);
        QVERIFY2(runner.endText().startsWith("link lost on line "), qPrintable(runner.endText()));
        QVERIFY(entriesOf(runner, RunLogEntry::Kind::Note)
                    .contains("on stop: output off could not be sent: the link is lost"));
        if (!kill)
            QVERIFY(!sim.received().contains(":OUTP:STAT 0"));
    }

    // Nothing at all goes out for a program that fails its check.
    void failingCheckSendsNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("diagnostic");
        QTest::newRow("over a limit") << "output on\nset ch1 voltage 99"
                                      << "2:17: 99 V is outside the limits of KMA-3303T ch1: 0 V to 30 V";
        QTest::newRow("ramp too fast for 9600 baud")
            << "output on\nramp ch1 voltage 0 to 5 V over 2s steps 100"
            << "2:1: ramp of line 2 needs a step every 20 ms; this link (9600 baud) takes about 87 ms a step: use at "
               "most 23 steps or a longer time";
        QTest::newRow("record without a recorder") << "output on\nrecord start"
                                                   << "2:1: record start needs a recorder, and this run has none";
    }
    void failingCheckSendsNothing()
    {
        QFETCH(QString, text);
        QFETCH(QString, diagnostic);
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        SequenceRunner runner(instrument);
        QSignalSpy changed(&runner, &SequenceRunner::stateChanged);
        // The pace of a 9600-baud line, whatever the link here.
        LinkOptions serial;
        serial.kind = LinkOptions::Kind::Serial;
        serial.baud = 9600;
        const CheckResult checked = runner.start(programOf(text), estimateLinkPace(serial, instrument.family()));
        QVERIFY(!checked.ok());
        QCOMPARE(checked.diagnostics.first().text(), diagnostic);
        QCOMPARE(runner.state(), SequenceRunner::State::Idle);
        QTest::qWait(300);
        QCOMPARE(sim.received(), QStringList{"*IDN?"});
        QCOMPARE(changed.size(), 0);
    }

    void hostRecordsAndMarks()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        HostDouble host;
        SequenceRunner runner(instrument, &host);
        CHECKED(runToEnd(runner, "record start\nmark \"warm-up\"\nwait 100ms\nrecord stop\nrecord start\noutput on"));
        QCOMPARE(runner.state(), SequenceRunner::State::Done);
        // A recording the run started and left on is stopped at its end.
        QCOMPARE(host.calls, (QStringList{"live polling", "start recording", "mark warm-up", "stop recording",
                                          "start recording", "stop recording", "polling restored"}));
        QVERIFY(entriesOf(runner, RunLogEntry::Kind::Mark).contains("warm-up"));

        host.calls.clear();
        host.refusal = QStringLiteral("no free record");
        CHECKED(runToEnd(runner, "output on\nrecord start\noutput off"));
        QCOMPARE(runner.endReason(), SequenceRunner::EndReason::Refused);
        QCOMPARE(runner.endText(), QString("refused on line 2: record start: no free record"));
        QCOMPARE(host.calls, (QStringList{"live polling", "start recording", "polling restored"}));
    }

    // While the host's polling feeds the model the runner asks for no
    // readings of its own.
    void hostPollingFeedsTheWait()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, "KMA-3303T"));
        Instrument instrument;
        CHECKED(connectTo(instrument, sim));
        HostDouble host;
        host.pollingFeedsModel = true;
        SequenceRunner runner(instrument, &host);
        // The host's polling, standing in: one reading after 300 ms.
        QTimer::singleShot(300, &instrument, [&] { instrument.measure(0, [](const Outcome &) {}); });
        CHECKED(runToEnd(runner, "set ch1 voltage 5\noutput on\nwait until ch1 voltage > 4 V timeout 3s\n"));
        QCOMPARE(runner.state(), SequenceRunner::State::Done);
        QCOMPARE(sim.received().filter(":CHAN1:MEAS:VOLT?").size(), 1);
        const RunLogEntry ended = lastOf(runner, RunLogEntry::Kind::WaitEnded);
        QCOMPARE(ended.text, QString("ch1 voltage > 4 V met; ch1 read 5 V"));
        QVERIFY2(ended.actualMs >= 250 && ended.actualMs < 1500, qPrintable(wholeLog(runner)));
    }
};

QTEST_GUILESS_MAIN(TestSequenceRun)
#include "tst_sequencerun.moc"
