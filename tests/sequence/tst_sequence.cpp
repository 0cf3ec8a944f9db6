#include "instrument/Instrument.h"
#include "ManualClock.h"
#include "protocol/Catalogue.h"
#include "sequence/ProgramMeasure.h"
#include "sequence/RunClock.h"
#include "sequence/SequenceCheck.h"
#include "sequence/SequenceLoader.h"
#include "sequence/StepCursor.h"
#include "sequence/Units.h"
#include "sequence/WaitCondition.h"

#include <QFile>
#include <QSqlDatabase>
#include <QTest>

using namespace qle;
using namespace qle::sequence;

namespace {

QString settingName(ChannelSetting setting)
{
    switch (setting) {
    case ChannelSetting::Voltage:
        return "voltage";
    case ChannelSetting::Current:
        return "current";
    case ChannelSetting::OverVoltage:
        return "ovp";
    case ChannelSetting::OverCurrent:
        break;
    }
    return "ocp";
}

QString steps(const std::vector<Step> &list);

// A step in a short canonical form, values in base units.
QString describe(const Step &step)
{
    const auto n = [](double v) { return QString::number(v, 'g', 10); };
    if (const auto *set = std::get_if<SetStep>(&step.action))
        return QStringLiteral("set ch%1 %2 %3").arg(set->channel + 1).arg(settingName(set->setting), n(set->value));
    if (const auto *output = std::get_if<OutputStep>(&step.action))
        return output->on ? "output on" : "output off";
    if (const auto *coupling = std::get_if<CouplingStep>(&step.action))
        return QStringLiteral("coupling %1").arg(static_cast<int>(coupling->coupling));
    if (const auto *recall = std::get_if<RecallStep>(&step.action))
        return QStringLiteral("recall %1").arg(recall->memory);
    if (const auto *wait = std::get_if<WaitStep>(&step.action))
        return "wait " + n(wait->seconds);
    if (const auto *until = std::get_if<WaitUntilStep>(&step.action))
        return QStringLiteral("until %1 tol %2 timeout %3 %4")
            .arg(describeCondition(*until), n(until->tolerance), n(until->timeoutSec),
                 until->continueOnTimeout ? "continue" : "stop");
    if (const auto *ramp = std::get_if<RampStep>(&step.action))
        return QStringLiteral("ramp ch%1 %2 %3..%4 over %5 in %6")
            .arg(ramp->channel + 1)
            .arg(settingName(ramp->setting), n(ramp->from), n(ramp->to), n(ramp->seconds))
            .arg(ramp->intervals);
    if (const auto *repeat = std::get_if<RepeatStep>(&step.action))
        return QStringLiteral("repeat %1 [%2]").arg(repeat->count).arg(steps(repeat->body));
    if (const auto *mark = std::get_if<MarkStep>(&step.action))
        return "mark <" + mark->text + ">";
    if (const auto *record = std::get_if<RecordStep>(&step.action))
        return record->start ? "record start" : "record stop";
    return "?";
}

QString steps(const std::vector<Step> &list)
{
    QStringList parts;
    for (const Step &step : list)
        parts << describe(step);
    return parts.join("; ");
}

QString diagnosticsText(const QList<Diagnostic> &diagnostics)
{
    QStringList lines;
    for (const Diagnostic &diagnostic : diagnostics)
        lines << diagnostic.text();
    return lines.join('\n');
}

} // namespace

// The language read into steps and its faults; the checker against the
// shipped catalogue; what a program takes; the pieces the runner keeps
// time with.
class TestSequence : public QObject {
    Q_OBJECT

private:
    QList<CatalogueRow> catalogue;

    void identifiedAs(Instrument &instrument, const QString &model)
    {
        instrument.useModel(model, [this](const QString &mtype) { return FindCatalogueRow(catalogue, mtype); });
    }

    static LinkPace serial(int baud)
    {
        LinkOptions link;
        link.kind = LinkOptions::Kind::Serial;
        link.baud = baud;
        return estimateLinkPace(link, CommandFamily::Colon);
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

    void readsEveryStepForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set voltage") << "set ch1 voltage 5"
                                     << "set ch1 voltage 5";
        QTest::newRow("any case, unit attached") << "SET CH2 Voltage 5V"
                                                 << "set ch2 voltage 5";
        QTest::newRow("current with unit") << "set ch1 current 1.5 A"
                                           << "set ch1 current 1.5";
        QTest::newRow("milliamperes") << "set ch1 current 250mA"
                                      << "set ch1 current 0.25";
        QTest::newRow("millivolts") << "set ch1 voltage 1500 mV"
                                    << "set ch1 voltage 1.5";
        QTest::newRow("ovp") << "set ch3 ovp 6 V"
                             << "set ch3 ovp 6";
        QTest::newRow("ocp on") << "set ch1 ocp on"
                                << "set ch1 ocp 1";
        QTest::newRow("ocp off") << "set ch2 OCP Off"
                                 << "set ch2 ocp 0";
        QTest::newRow("fraction without a leading digit") << "set ch1 voltage .5"
                                                          << "set ch1 voltage 0.5";
        QTest::newRow("output") << "output on\noutput OFF"
                                << "output on; output off";
        QTest::newRow("coupling") << "coupling independent\ncoupling track\nCoupling PARALLEL"
                                  << "coupling 0; coupling 2; coupling 1";
        QTest::newRow("recall") << "recall 3"
                                << "recall 3";
        QTest::newRow("wait ms") << "wait 500ms"
                                 << "wait 0.5";
        QTest::newRow("wait s, spaced") << "wait 10 s"
                                        << "wait 10";
        QTest::newRow("wait fraction") << "wait 1.5s"
                                       << "wait 1.5";
        QTest::newRow("wait minutes") << "wait 5m"
                                      << "wait 300";
        QTest::newRow("wait hours") << "wait 2h"
                                    << "wait 7200";
        QTest::newRow("wait combined") << "wait 1h30m"
                                       << "wait 5400";
        QTest::newRow("wait combined, spaced") << "wait 1h 30m 15s"
                                               << "wait 5415";
        QTest::newRow("until below") << "wait until ch1 current < 0.05 A timeout 3h"
                                     << "until ch1 current < 0.05 A tol 0 timeout 10800 stop";
        QTest::newRow("until above, continue") << "wait until ch2 voltage > 11.5 timeout 10m else continue"
                                               << "until ch2 voltage > 11.5 V tol 0 timeout 600 continue";
        QTest::newRow("until within") << "wait until ch1 voltage = 12 V +- 0.05 timeout 1m"
                                      << "until ch1 voltage = 12 V +- 0.05 V tol 0.05 timeout 60 stop";
        QTest::newRow("until within, plus-minus sign, millivolts")
            << "wait until ch1 voltage = 12V \u00B1 50mV timeout 1m else stop"
            << "until ch1 voltage = 12 V +- 0.05 V tol 0.05 timeout 60 stop";
        QTest::newRow("until power") << "wait until ch3 power > 500 mW timeout 30s"
                                     << "until ch3 power > 0.5 W tol 0 timeout 30 stop";
        QTest::newRow("ramp by step") << "ramp ch1 voltage 0 to 12 V over 1h step 0.1 V"
                                      << "ramp ch1 voltage 0..12 over 3600 in 120";
        QTest::newRow("ramp by count") << "ramp ch1 voltage 0 V to 12 V over 10s steps 50"
                                       << "ramp ch1 voltage 0..12 over 10 in 50";
        QTest::newRow("ramp down, uneven step") << "ramp ch2 current 1 A to 500mA over 1m step 0.3 A"
                                                << "ramp ch2 current 1..0.5 over 60 in 2";
        QTest::newRow("mark keeps a # inside quotes") << "mark \"charge # done\" # a comment"
                                                      << "mark <charge # done>";
        QTest::newRow("record") << "record start\nrecord stop"
                                << "record start; record stop";
        QTest::newRow("comments, blanks, CR LF") << "# header\r\n\r\n   output on   # switch\r\n\t\r\noutput off\r\n"
                                                 << "output on; output off";
        QTest::newRow("nested repeat") << "repeat 2\n  output on\n  repeat 3\n    wait 1s\n  end\nEND\nmark \"x\""
                                       << "repeat 2 [output on; repeat 3 [wait 1]]; mark <x>";
    }
    void readsEveryStepForm()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const LoadResult loaded = loadSequence(text);
        QVERIFY2(loaded.ok(), qPrintable(formatDiagnostics(loaded.diagnostics)));
        QCOMPARE(steps(loaded.program.steps), expected);
        QCOMPARE(loaded.program.onStop, EndAction::OutputOff);
    }

    void stepsKnowWhereTheyAre()
    {
        const LoadResult loaded = loadSequence("# start\n\n  set ch2 voltage 3 # rail\nrepeat 2\n\twait 1s\nend\n"
                                               "on stop: hold\n");
        QVERIFY(loaded.ok());
        QCOMPARE(loaded.program.onStop, EndAction::Hold);
        QCOMPARE(loaded.program.onStopAt.line, 7);
        const Step &set = loaded.program.steps.at(0);
        QCOMPARE(set.at.line, 3);
        QCOMPARE(set.at.column, 3);
        QCOMPARE(set.source, QString("set ch2 voltage 3"));
        QCOMPARE(std::get<SetStep>(set.action).valueAt.column, 19);
        const auto &repeat = std::get<RepeatStep>(loaded.program.steps.at(1).action);
        QCOMPARE(repeat.body.at(0).at.line, 5);
        QCOMPARE(repeat.body.at(0).at.column, 2);
    }

    void reportsFaults_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("misspelt quantity, indented") << "output on\n\n      set ch1 voltge 5"
                                                     << "3:15: \"voltage\" expected after ch1, found \"voltge\"";
        QTest::newRow("misspelt step") << "rmap ch1 voltage 0 to 1 V over 1s steps 2"
                                       << "1:1: \"ramp\" expected at the start of the line, found \"rmap\"";
        QTest::newRow("unknown step")
            << "blink"
            << "1:1: \"set\", \"output\", \"coupling\", \"recall\", \"wait\", \"ramp\", \"repeat\", \"end\", "
               "\"mark\", \"record\" or \"on\" expected at the start of the line, found \"blink\"";
        QTest::newRow("unit of another quantity") << "set ch1 voltage 5 A"
                                                  << "1:19: \"A\" is no unit of a voltage: use V or mV";
        QTest::newRow("attached unit of another quantity") << "set ch1 current 2V"
                                                           << "1:18: \"V\" is no unit of a current: use A or mA";
        QTest::newRow("not a number") << "set ch1 voltage five"
                                      << "1:17: a number expected for the value of ch1, found \"five\"";
        QTest::newRow("two points") << "set ch1 voltage 1.2.3"
                                    << "1:17: \"1.2.3\" is not a number";
        QTest::newRow("no channel") << "set c1 voltage 5"
                                    << "1:5: a channel (ch1, ch2 or ch3) expected after set, found \"c1\"";
        QTest::newRow("output neither on nor off") << "output maybe"
                                                   << "1:8: \"on\" or \"off\" expected after output, found \"maybe\"";
        QTest::newRow("more after a step") << "output on now"
                                           << "1:11: nothing more expected, found \"now\"";
        QTest::newRow("wait without unit")
            << "wait 10"
            << "1:8: a time unit (ms, s, m or h) expected after 10, found the end of the line";
        QTest::newRow("wait with an unknown unit")
            << "wait 10x"
            << "1:6: \"10x\" is not a time: write e.g. 500ms, 1.5s, 5m, 2h or 1h30m";
        QTest::newRow("until without timeout")
            << "wait until ch1 current < 0.05 A"
            << "1:32: \"timeout\" expected: an unattended wait needs one (e.g. timeout 10m)";
        QTest::newRow("until = without tolerance")
            << "wait until ch1 voltage = 12 V timeout 1m"
            << "1:31: a tolerance (e.g. +- 0.05) expected after the value, found \"timeout\"";
        QTest::newRow("tolerance after <") << "wait until ch1 current < 1 A +- 0.1 timeout 1s"
                                           << "1:30: a tolerance goes with \"=\" only";
        QTest::newRow("until on a setting")
            << "wait until ch1 ovp > 1 V timeout 1s"
            << "1:16: \"voltage\", \"current\" or \"power\" expected after ch1, found \"ovp\"";
        QTest::newRow("until compared by a word")
            << "wait until ch1 current below 1 A timeout 1s"
            << "1:24: \"<\", \">\" or \"=\" expected after current, found \"below\"";
        QTest::newRow("zero timeout") << "wait until ch1 current < 1 A timeout 0s"
                                      << "1:38: a timeout longer than 0 expected";
        QTest::newRow("else of neither kind") << "wait until ch1 current < 1 A timeout 1s else retry"
                                              << "1:46: \"stop\" or \"continue\" expected after else, found \"retry\"";
        QTest::newRow("ramp without step")
            << "ramp ch1 voltage 0 to 5 V over 10s"
            << "1:35: \"step\" or \"steps\" expected after the ramp's time, found the end of the line";
        QTest::newRow("ramp that goes nowhere") << "ramp ch1 voltage 5 to 5 V over 1s steps 2"
                                                << "1:18: the ramp starts where it ends: use set and wait";
        QTest::newRow("ramp of a protection") << "ramp ch1 ovp 0 to 5 V over 1s steps 2"
                                              << "1:10: \"voltage\" or \"current\" expected after ch1, found \"ovp\"";
        QTest::newRow("ramp of a million and one steps") << "ramp ch1 voltage 0 to 10 V over 1h step 0.000009 V"
                                                         << "1:36: a ramp of at most 1000000 steps expected";
        QTest::newRow("repeat of 0") << "repeat 0\nend"
                                     << "1:8: a number from 1 to 1000000000 expected after repeat, found \"0\"";
        QTest::newRow("repeat of a fraction") << "repeat 2.5\nend"
                                              << "1:8: a whole number expected after repeat, found \"2.5\"";
        QTest::newRow("repeat without end") << "repeat 2\noutput on\nrepeat 3\nwait 1s\nend"
                                            << "1:1: repeat of line 1 has no end";
        QTest::newRow("end without repeat") << "output on\nend"
                                            << "2:1: end without a repeat before it";
        QTest::newRow("one end too many") << "repeat 2\nend\n  end"
                                          << "3:3: end without a repeat before it";
        QTest::newRow("mark without quotes") << "mark done"
                                             << "1:6: a quoted text expected for mark (e.g. mark \"charged\"), found "
                                                "\"done\"";
        QTest::newRow("quote left open") << "mark \"done"
                                         << "1:6: the text has no closing quote";
        QTest::newRow("stray character") << "output on;"
                                         << "1:10: unexpected \";\"";
        QTest::newRow("on stop twice") << "on stop: hold\noutput on\non stop: output off"
                                       << "3:1: on stop is given twice (first on line 1)";
        QTest::newRow("on stop misspelt") << "on stop: outptu off"
                                          << "1:10: \"output\" expected after on stop:, found \"outptu\"";
        QTest::newRow("no steps") << "# nothing\n\n"
                                  << "the sequence has no steps";
        QTest::newRow("every faulty line told")
            << "set ch1 voltge 5\noutput on\noutput maybe\nwait 5\nwait 1s"
            << "1:9: \"voltage\" expected after ch1, found \"voltge\"\n"
               "3:8: \"on\" or \"off\" expected after output, found \"maybe\"\n"
               "4:7: a time unit (ms, s, m or h) expected after 5, found the end of the line";
        QTest::newRow("fault inside a repeat, end still matched")
            << "repeat 2\nset ch1 voltage x\nend\nend"
            << "2:17: a number expected for the value of ch1, found \"x\"\n4:1: end without a repeat before it";
    }
    void reportsFaults()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const LoadResult loaded = loadSequence(text);
        QCOMPARE(diagnosticsText(loaded.diagnostics), expected);
        QVERIFY(!loaded.ok());
    }

    void checksAgainstTheCatalogue_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("canRecord");
        QTest::addColumn<QString>("expected");
        QTest::newRow("within every limit")
            << "KMA-3303T"
            << "set ch3 voltage 5\nset ch1 ovp 33 V\nset ch2 current 3 A\nset ch1 ocp on\nrecall 4\n"
               "coupling track\nramp ch1 voltage 0 to 30 V over 10s steps 100\nwait until ch3 power > 1 W timeout 1s"
            << 0 << false << "";
        QTest::newRow("channel the model lacks")
            << "KMA-3303T"
            << "set ch4 voltage 5\nwait until ch5 current < 1 A timeout 1s" << 0 << false
            << "1:5: KMA-3303T has no channel 4 (ch1 to ch3)\n2:12: KMA-3303T has no channel 5 (ch1 to ch3)";
        QTest::newRow("one output") << "KMB-6001"
                                    << "set ch2 voltage 5" << 0 << false << "1:5: KMB-6001 has one output: ch1 only";
        QTest::newRow("over the channel's own limit")
            << "KMA-3303T"
            << "set ch3 voltage 12 V\nset ch1 voltage 12 V" << 0 << false
            << "1:17: 12 V is outside the limits of KMA-3303T ch3: 0 V to 5 V";
        QTest::newRow("ovp and current limits") << "KMA-3303T"
                                                << "set ch3 ovp 5.6\nset ch1 current 3001 mA" << 0 << false
                                                << "1:13: 5.6 V is outside the limits of KMA-3303T ch3: 0 V to 5.5 V\n"
                                                   "2:17: 3.001 A is outside the limits of KMA-3303T ch1: 0 A to 3 A";
        QTest::newRow("below zero") << "KMB-6001"
                                    << "set ch1 voltage -1" << 0 << false
                                    << "1:17: -1 V is outside the limits of KMB-6001 ch1: 0 V to 60 V";
        QTest::newRow("ramp ends past the limit") << "KMB-6001"
                                                  << "ramp ch1 voltage 0 to 61 V over 1h step 1 V" << 0 << false
                                                  << "1:23: 61 V is outside the limits of KMB-6001 ch1: 0 V to 60 V";
        QTest::newRow("ramp starts past the limit") << "KMB-6001"
                                                    << "ramp ch1 current 2 A to 0 A over 1h step 0.1 A" << 0 << false
                                                    << "1:18: 2 A is outside the limits of KMB-6001 ch1: 0 A to 1 A";
        QTest::newRow("memory the model lacks")
            << "KMA-3303T"
            << "recall 0\nrecall 5" << 0 << false
            << "1:8: KMA-3303T has memories 1 to 4\n2:8: KMA-3303T has memories 1 to 4";
        QTest::newRow("one output: no memories, no coupling")
            << "KMB-6001"
            << "recall 1\ncoupling parallel" << 0 << false
            << "1:8: KMB-6001 has no memories\n2:1: KMB-6001 has one output: no coupling";
        QTest::newRow("legacy: no protections")
            << "QLE-5505"
            << "set ch2 ovp 5\nset ch1 ocp on\nset ch2 voltage 30" << 0 << false
            << "1:13: QLE-5505 has no over-voltage setting\n2:13: QLE-5505 has no over-current protection";
        QTest::newRow("ramp too fast for 9600 baud")
            << "KMA-3303T"
            << "output on\nramp ch1 voltage 0 to 10 V over 1s steps 100" << 9600 << false
            << "2:1: ramp of line 2 needs a step every 10 ms; this link (9600 baud) takes about 87 ms a step: use at "
               "most 11 steps or a longer time";
        QTest::newRow("ramp too fast for any step")
            << "KMA-3303T"
            << "ramp ch1 voltage 0 to 10 V over 50ms steps 2" << 9600 << false
            << "1:1: ramp of line 1 needs a step every 25 ms; this link (9600 baud) takes about 87 ms a step: use a "
               "longer time";
        QTest::newRow("same ramp on TCP") << "KMA-3303T"
                                          << "ramp ch1 voltage 0 to 10 V over 1s steps 100" << 0 << false << "";
        QTest::newRow("slower ramp on 115200 baud")
            << "KMA-3303T"
            << "ramp ch1 voltage 0 to 10 V over 3s steps 100" << 115200 << false << "";
        QTest::newRow("ramp inside a repeat checked once")
            << "KMA-3303T"
            << "repeat 3\nramp ch1 voltage 0 to 1 V over 1s steps 50\nend" << 9600 << false
            << "2:1: ramp of line 2 needs a step every 20 ms; this link (9600 baud) takes about 87 ms a step: use at "
               "most 11 steps or a longer time";
        QTest::newRow("record without a recorder") << "KMA-3303T"
                                                   << "record start\nmark \"a\"\nrecord stop" << 0 << false
                                                   << "1:1: record start needs a recorder, and this run has none\n"
                                                      "3:1: record stop needs a recorder, and this run has none";
        QTest::newRow("record with a recorder") << "KMA-3303T"
                                                << "record start\nrecord stop" << 0 << true << "";
    }
    void checksAgainstTheCatalogue()
    {
        QFETCH(QString, model);
        QFETCH(QString, text);
        QFETCH(int, baud);
        QFETCH(bool, canRecord);
        QFETCH(QString, expected);
        const LoadResult loaded = loadSequence(text);
        QVERIFY2(loaded.ok(), qPrintable(formatDiagnostics(loaded.diagnostics)));
        Instrument instrument;
        identifiedAs(instrument, model);
        LinkOptions tcp;
        tcp.kind = LinkOptions::Kind::Tcp;
        const LinkPace pace = baud > 0 ? serial(baud) : estimateLinkPace(tcp, instrument.family());
        const CheckResult checked = checkSequence(loaded.program, instrument, pace, canRecord);
        QCOMPARE(diagnosticsText(checked.diagnostics), expected);
        QCOMPARE(checked.ok(), expected.isEmpty());
    }

    void checkNeedsAnIdentifiedInstrument()
    {
        Instrument unknown;
        const CheckResult checked = checkSequence(loadSequence("output on").program, unknown, {}, false);
        QCOMPARE(diagnosticsText(checked.diagnostics), QString("no instrument identified: connect to one first"));
    }

    void estimatesDurationAndCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("summary");
        QTest::newRow("power-up order")
            << "set ch1 voltage 5\nset ch2 voltage 3.3\nset ch3 voltage 1.8\noutput on\nwait 500ms\nwait 2s"
            << "4 commands, about 2.5 s";
        QTest::newRow("one command") << "output on"
                                     << "1 command, about 0 ms";
        QTest::newRow("burn-in of 100 cycles") << "repeat 100\noutput on\nwait 30s\noutput off\nwait 30s\nend"
                                               << "200 commands, about 1 h 40 min";
        QTest::newRow("nested repeats multiply") << "repeat 3\nrepeat 4\nset ch1 voltage 1\nwait 1m\nend\nwait 1m\nend"
                                                 << "12 commands, about 15 min";
        QTest::newRow("sweep of an hour") << "ramp ch1 voltage 0 to 12 V over 1h step 0.1 V"
                                          << "121 commands, about 1 h";
        QTest::newRow("charge to a threshold")
            << "output on\nwait 10s\nwait until ch1 current < 0.05 A timeout 3h\noutput off"
            << "2 commands, at least 10 s, at most 3 h 0 min 10 s";
        QTest::newRow("marks and records take no time") << "mark \"a\"\nrecord start\nwait 1h30m\nrecord stop"
                                                        << "0 commands, about 1 h 30 min";
    }
    void estimatesDurationAndCommands()
    {
        QFETCH(QString, text);
        QFETCH(QString, summary);
        const LoadResult loaded = loadSequence(text);
        QVERIFY2(loaded.ok(), qPrintable(formatDiagnostics(loaded.diagnostics)));
        Instrument instrument;
        identifiedAs(instrument, "KMA-3303T");
        const CheckResult checked = checkSequence(loaded.program, instrument, serial(115200), true);
        QVERIFY2(checked.ok(), qPrintable(checked.report()));
        QCOMPARE(checked.summary(), summary);
    }

    void linkPace_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<double>("stepMs");
        QTest::addColumn<QString>("basis");
        // (46 bytes at 1.0417 ms + 2 turnarounds of 5 ms) x 1.5 for polling.
        QTest::newRow("colon, 9600 baud") << int(LinkOptions::Kind::Serial) << 9600 << false << 86.875 << "9600 baud";
        QTest::newRow("colon, 115200 baud")
            << int(LinkOptions::Kind::Serial) << 115200 << false << (460.0 / 115.2 + 10) * 1.5 << "115200 baud";
        // 14 bytes and one turnaround: no error query on the legacy family.
        QTest::newRow("legacy, 9600 baud")
            << int(LinkOptions::Kind::Serial) << 9600 << true << (14 * 10000.0 / 9600 + 5) * 1.5 << "9600 baud";
        QTest::newRow("TCP") << int(LinkOptions::Kind::Tcp) << 9600 << false << 5.0 << "TCP";
        QTest::newRow("GPIB") << int(LinkOptions::Kind::Gpib) << 9600 << false << 10.0 << "GPIB";
    }
    void linkPace()
    {
        QFETCH(int, kind);
        QFETCH(int, baud);
        QFETCH(bool, legacy);
        QFETCH(double, stepMs);
        QFETCH(QString, basis);
        LinkOptions link;
        link.kind = static_cast<LinkOptions::Kind>(kind);
        link.baud = baud;
        const LinkPace pace = estimateLinkPace(link, legacy ? CommandFamily::Legacy : CommandFamily::Colon);
        QVERIFY2(qAbs(pace.stepMs - stepMs) < 1e-9, qPrintable(QString::number(pace.stepMs)));
        QCOMPARE(pace.basis, basis);
        QCOMPARE(pace.stepsIn(1.0), static_cast<qint64>(1000 / stepMs));
    }

    void rampValuesAndTimes()
    {
        // 0.1 V steps from 0 to 1: the tenth value is 1 exactly, whatever
        // the binary fractions of 0.1 add up to.
        RampStep ramp;
        ramp.from = 0;
        ramp.to = 1;
        ramp.intervals = 10;
        ramp.seconds = 5;
        QCOMPARE(rampValue(ramp, 0), 0.0);
        QCOMPARE(rampValue(ramp, 3), 0.3);
        QVERIFY(rampValue(ramp, 10) == 1.0);
        QCOMPARE(rampOffsetSec(ramp, 0), 0.0);
        QCOMPARE(rampOffsetSec(ramp, 4), 2.0);
        QCOMPARE(rampOffsetSec(ramp, 10), 5.0);
        // Downwards, and a step that does not divide the span.
        const auto down = std::get<RampStep>(
            loadSequence("ramp ch1 voltage 12 to 11 V over 1m step 0.3 V").program.steps.at(0).action);
        QCOMPARE(down.intervals, 4);
        QList<double> values;
        for (int i = 0; i <= down.intervals; ++i)
            values << rampValue(down, i);
        QCOMPARE(values, (QList<double>{12, 11.75, 11.5, 11.25, 11}));
    }

    void waitConditionTakesFreshReadingsOnly()
    {
        ChannelState state;
        state.voltage = qle::Reading{"5.000", 5.0, 1000};
        state.current = qle::Reading{"0.500", 0.5, 1010};
        WaitUntilStep until;
        until.quantity = Quantity::Current;
        QCOMPARE(conditionValue(until, state, 999), std::optional(0.5));
        // A reading from the millisecond the wait began, or before, is old.
        QCOMPARE(conditionValue(until, state, 1010), std::nullopt);
        until.quantity = Quantity::Power;
        QCOMPARE(conditionValue(until, state, 999), std::optional(2.5));
        QCOMPARE(conditionValue(until, state, 1005), std::nullopt);
        state.voltage.reset();
        QCOMPARE(conditionValue(until, state, 0), std::nullopt);

        until.comparison = Comparison::Within;
        until.value = 12;
        until.tolerance = 0.05;
        QVERIFY(conditionMet(until, 12.05));
        QVERIFY(conditionMet(until, 11.95));
        QVERIFY(!conditionMet(until, 12.051));
        until.comparison = Comparison::Below;
        QVERIFY(conditionMet(until, 11.99));
        QVERIFY(!conditionMet(until, 12));
        until.comparison = Comparison::Above;
        QVERIFY(!conditionMet(until, 12));
        QVERIFY(conditionMet(until, 12.01));
    }

    void cursorWalksNestedRepeats()
    {
        const LoadResult loaded =
            loadSequence("repeat 2\nmark \"a\"\nrepeat 2\nwait 1s\nend\nend\nrepeat 3\nend\nwait 10s");
        QVERIFY(loaded.ok());
        StepCursor cursor(loaded.program.steps);
        QStringList order;
        QStringList passes;
        DurationEstimate afterFirst;
        while (const Step *step = cursor.next()) {
            order << QString::number(step->at.line);
            passes << cursor.passes();
            if (order.size() == 1)
                afterFirst = cursor.remaining();
        }
        QCOMPARE(order.join(' '), QString("2 4 4 2 4 4 9"));
        QCOMPARE(passes.at(2), QString("pass 1 of 2, pass 2 of 2"));
        QCOMPARE(passes.at(3), QString("pass 2 of 2"));
        QCOMPARE(passes.last(), QString());
        // After the first mark: 2 s of this pass, 2 s of the next, 10 s at the end.
        QCOMPARE(afterFirst.knownSec, 14.0);
        QVERIFY(!afterFirst.open);
        QCOMPARE(cursor.remaining().knownSec, 0.0);
    }

    void runClockShiftsByPauses()
    {
        testing::ManualClock clock(100);
        RunClock run;
        run.start();
        clock.advance(2);
        QCOMPARE(run.scheduleSec(), 2.0);
        QCOMPARE(run.msUntil(5), 3000);
        run.pause();
        clock.advance(10);
        QCOMPARE(run.scheduleSec(), 2.0);
        QCOMPARE(run.elapsedSec(), 12.0);
        run.resume();
        clock.advance(1);
        QCOMPARE(run.scheduleSec(), 3.0);
        QCOMPARE(run.elapsedAt(5), 15.0);
        QCOMPARE(run.msUntil(5), 2000);
        QCOMPARE(run.msUntil(2.5), 0);
    }

    // The examples of the README read, pass the check on a three-output
    // model at 9600 baud and take what it says.
    void readmeExamples()
    {
        QFile readme(QStringLiteral(QLE_README));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const qsizetype from = text.indexOf("\n## Sequences\n");
        QVERIFY(from >= 0);
        const QString section = text.mid(from + 1, text.indexOf("\n## ", from + 1) - from);
        QStringList examples;
        QString block;
        for (const QString &line : section.split('\n')) {
            if (line.startsWith("    ")) {
                block += line.mid(4) + '\n';
            } else if (!line.isEmpty() && !block.isEmpty()) {
                examples << block;
                block.clear();
            }
        }
        if (!block.isEmpty())
            examples << block;
        Instrument instrument;
        identifiedAs(instrument, "KMA-3303T");
        QStringList summaries;
        for (const QString &example : examples) {
            const LoadResult loaded = loadSequence(example);
            QVERIFY2(loaded.ok(), qPrintable(example + formatDiagnostics(loaded.diagnostics)));
            const CheckResult checked = checkSequence(loaded.program, instrument, serial(9600), true);
            QVERIFY2(checked.ok(), qPrintable(example + checked.report()));
            summaries << checked.summary();
        }
        QCOMPARE(summaries, (QStringList{"10 commands, about 200 ms", "125 commands, about 1 h",
                                         "4 commands, at least 0 ms, at most 3 h", "202 commands, about 10 h"}));
    }

    void durations_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ms") << "250ms" << 0.25 << "250 ms";
        QTest::newRow("s") << "12.5s" << 12.5 << "12.5 s";
        QTest::newRow("min, any case") << "2M5S" << 125.0 << "2 min 5 s";
        QTest::newRow("h min") << "1h30min" << 5400.0 << "1 h 30 min";
        QTest::newRow("h and s") << "1h10sec" << 3610.0 << "1 h 0 min 10 s";
        QTest::newRow("days of hours") << "50h" << 180000.0 << "50 h";
    }
    void durations()
    {
        QFETCH(QString, written);
        QFETCH(double, seconds);
        QFETCH(QString, shown);
        QCOMPARE(readDuration(written), std::optional(seconds));
        QCOMPARE(formatDuration(seconds), shown);
        QCOMPARE(readDuration(written + "x"), std::nullopt);
        QCOMPARE(readDuration("5"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestSequence)
#include "tst_sequence.moc"
