#include "FakePanelHost.h"
#include "ManualClock.h"
#include "panels/frmLayout1.h"
#include "panels/LivePoller.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "ScriptedMessageBox.h"
#include "TraceRecorder.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using namespace qle;
using namespace qle::testing;

class TestLayout1 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePanelHost> host;
    std::unique_ptr<frmLayout1> panel;

    void userEnters(CWNumEdit *field, double value) { field->spinBox()->setValue(value); }

private slots:
    void init()
    {
        host = std::make_unique<FakePanelHost>();
        panel = std::make_unique<frmLayout1>(*host);
        panel->SetupLayout();
    }
    void cleanup()
    {
        panel.reset();
        host.reset();
    }

    void setupTakesPerChannelLimits()
    {
        QCOMPARE(panel->channel(0).numVoltage->Maximum(), 30.0);
        QCOMPARE(panel->channel(2).numVoltage->Maximum(), 5.0);
        QCOMPARE(panel->channel(2).numOVP->Maximum(), 5.5);
        QCOMPARE(panel->channel(1).numCurrent->increment(), 0.001);
        QCOMPARE(panel->channel(0).txtVoltage->text(), QString("0.000"));
        QCOMPARE(panel->channel(0).txtCurrent->text(), QString("0.0000"));
        QCOMPARE(panel->commTypeText()->text(), QString("RS-232 9600BPS / 8bits/None/1bits"));
        QCOMPARE(host->engine().QueryCmdCnt, 7);
        QCOMPARE(host->engine().QueryCmdMaxMsec, 0);
        QVERIFY(!panel->IsQueryInitialOK);

        // Without per-channel rows every channel gets the model's limits.
        host->model = "KMC-3303T";
        host->link = "GPIB";
        frmLayout1 other(*host);
        other.SetupLayout();
        QCOMPARE(other.channel(2).numVoltage->Maximum(), 32.0);
        QCOMPARE(other.channel(2).txtVoltage->text(), QString("0.0000"));
        QCOMPARE(other.commTypeText()->text(), QString("Interface: GPIB;Address:7"));
        host->link = "Menu";
        other.SetupLayout();
        QCOMPARE(other.commTypeText()->text(), QString("Testing mode"));
    }

    void initialReadQueues26QueriesInOrder()
    {
        QVERIFY(!panel->QueryInitialValues());
        QCOMPARE(host->initialDialogs, 1);
        const QStringList expected{":SYST:AUTO:STAR?",  ":SYST:AUTO:END?",   ":SYST:AUTO:CYCLE?", ":SYST:AUTO:DEL?",
                                   ":SYST:MEM?",        ":CHAN1:PROT:VOLT?", ":CHAN2:PROT:VOLT?", ":CHAN3:PROT:VOLT?",
                                   ":OUTP:STAT?",       ":OUTP:COUP:TRAC?",  ":SYST:AUTO:STAT?",  ":CHAN1:PROT:CURR?",
                                   ":CHAN2:PROT:CURR?", ":CHAN3:PROT:CURR?", ":CHAN1:VOLT?",      ":CHAN2:VOLT?",
                                   ":CHAN3:VOLT?",      ":CHAN1:CURR?",      ":CHAN2:CURR?",      ":CHAN3:CURR?",
                                   ":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?",
                                   ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?"};
        QCOMPARE(host->queuedQueries(), expected);
        const TaskItem &state = host->engine().queryTask(8);
        QCOMPARE(state.xCallName, QString("SetupOutputOnOff"));
        QCOMPARE(state.xCallType, 1);
        QCOMPARE(state.xObj.data(), panel.get());
        const TaskItem &sink = host->engine().queryTask(25);
        QCOMPARE(sink.xCallName, QString("Text"));
        QCOMPARE(sink.xCallType, 4);
        QCOMPARE(sink.xObj.data(), panel->channel(2).txtCurrent);
    }

    void setCommands_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("field");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("command");
        QTest::newRow("whole volts keep the point") << 0 << 0 << 5.0 << ":CHAN1:VOLT 5.";
        QTest::newRow("rounded to thousandths") << 0 << 0 << 1.23456 << ":CHAN1:VOLT 1.235";
        QTest::newRow("current") << 2 << 1 << 0.25 << ":CHAN3:CURR 0.25";
        QTest::newRow("ovp") << 1 << 2 << 33.0 << ":CHAN2:PROT:VOLT 33.";
    }
    void setCommands()
    {
        QFETCH(int, channel);
        QFETCH(int, field);
        QFETCH(double, value);
        QFETCH(QString, command);
        const ChannelControls &c = panel->channel(channel);
        CWNumEdit *fields[3] = {c.numVoltage, c.numCurrent, c.numOVP};
        userEnters(fields[field], value);
        QCOMPARE(host->queuedCommands(), QStringList{command});
    }

    void commaLocaleStillSendsAPoint()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        CWNumEdit *field = panel->channel(0).numVoltage;
        field->spinBox()->setLocale(german);
        field->show();
        QLineEdit *line = field->spinBox()->findChild<QLineEdit *>();
        line->selectAll();
        QTest::keyClicks(line, "2,5");
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(host->queuedCommands(), QStringList{":CHAN1:VOLT 2.5"});
    }

    void editsThatAreNotSent()
    {
        CWNumEdit *voltage = panel->channel(0).numVoltage;
        userEnters(voltage, 3);
        QCOMPARE(host->queuedCommands().size(), 1);
        userEnters(voltage, -1);
        QCOMPARE(voltage->Value(), 3.0);
        QCOMPARE(host->queuedCommands().size(), 1);

        host->state = 1;
        userEnters(panel->channel(1).numCurrent, 1.5);
        panel->channel(2).tbnOCP->click();
        QCOMPARE(host->queuedCommands().size(), 1);
    }

    void ocpToggle()
    {
        panel->channel(2).tbnOCP->click();
        QCOMPARE(host->queuedCommands(), QStringList{":CHAN3:PROT:CURR 1"});
        panel->channel(2).tbnOCP->click();
        QCOMPARE(host->queuedCommands().last(), QString(":CHAN3:PROT:CURR 0"));
    }

    void replySinksAreNeverEchoed()
    {
        TraceRecorder trace;
        const ChannelControls &c = panel->channel(1);
        c.txtSetVolt->setProperty("Text", "12.000");
        QCOMPARE(c.numVoltage->Value(), 12.0);
        QCOMPARE(c.txtSetVolt->text(), QString());
        QVERIFY(trace.contains("txtSetVolt_Change1:12.000"));
        c.txtSetCurr->setProperty("Text", "1.500");
        QCOMPARE(c.numCurrent->Value(), 1.5);
        c.txtSetCurr->setProperty("Text", "garbled");
        QCOMPARE(c.numCurrent->Value(), 0.0);
        QCOMPARE(c.txtSetCurr->text(), QString("garbled"));
        c.txtOVP->setProperty("Text", "31.5");
        QCOMPARE(c.numOVP->Value(), 31.5);
        c.txtOCP->setProperty("Text", "1");
        QVERIFY(c.tbnOCP->Value());
        c.txtOCP->setProperty("Text", "ON");
        QVERIFY(!c.tbnOCP->Value());
        QVERIFY(host->queuedCommands().isEmpty());
    }

    void errorReplies()
    {
        ScriptedMessageBox boxes;
        TextBox *error = panel->errorSink();
        // With the output off an error is told on the status line: nothing
        // is sent and no box opens.
        error->setProperty("Text", "-113,\"Undefined header\"");
        QCoreApplication::processEvents();
        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(host->operations, QStringList{"ReportStatus(Error detected: '-113,\"Undefined header\"',5000)"});
        host->operations.clear();

        host->output = true;
        error->setProperty("Text", "0,\"No error\"");
        QCoreApplication::processEvents();
        QVERIFY(boxes.shown().isEmpty());
        QVERIFY(host->operations.isEmpty());

        error->setProperty("Text", "-222,\"Data out of range\"");
        error->setProperty("Text", "-222,\"Data out of range\"");
        QCoreApplication::processEvents();
        QCOMPARE(host->operations, QStringList{"DoOutput(false)"});
        QCOMPARE(boxes.texts(), QStringList{"Error detected: '-222,\"Data out of range\"'"});

        error->setProperty("Text", "");
        QCoreApplication::processEvents();
        QCOMPARE(boxes.texts().last(), QString("Error detected: ''"));
    }

    void parallelBlanksChannelOne()
    {
        panel->selectCoupling(Coupling::Parallel);
        QVERIFY(panel->optParal->isChecked());
        panel->channel(0).txtVoltage->setProperty("Text", "5.000");
        QCOMPARE(panel->channel(0).txtVoltage->text(), QString());
        panel->channel(0).txtVoltage->setProperty("Text", "5.000");
        panel->channel(0).txtCurrent->setProperty("Text", "0.500");
        QCOMPARE(panel->channel(0).txtVoltage->text(), QString());
        QCOMPARE(panel->channel(0).txtCurrent->text(), QString());
        panel->channel(1).txtVoltage->setProperty("Text", "5.000");
        QCOMPARE(panel->voltageText(1), QString("5.000"));

        panel->SetParallelDisableMode();
        QVERIFY(!panel->channel(0).numVoltage->isEnabled());
        QVERIFY(!panel->channel(0).tbnOCP->isEnabled());
        QVERIFY(panel->channel(1).numVoltage->isEnabled());
        panel->SetTrackDisableMode();
        QVERIFY(!panel->channel(0).numVoltage->isEnabled());
        QVERIFY(panel->channel(0).numCurrent->isEnabled());
        QVERIFY(panel->channel(0).tbnOCP->isEnabled());
        QVERIFY(!panel->channel(0).numOVP->isEnabled());
    }

    void autoRunLocksAllButThreeControls()
    {
        panel->SetAutoRunDisableMode();
        QVERIFY(panel->outputButton()->isEnabled());
        QVERIFY(panel->tbnAutoRun->isEnabled());
        QVERIFY(panel->clearErrorButton()->isEnabled());
        QVERIFY(!panel->optIndep->isEnabled());
        QVERIFY(!panel->channel(1).numCurrent->isEnabled());
        panel->SetAllEnabled();
        QVERIFY(panel->optIndep->isEnabled());
        QVERIFY(panel->channel(1).numCurrent->isEnabled());
        QCOMPARE(panel->voltageText(0), QString());
    }

    void stateReplies_data()
    {
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("operations");
        QTest::newRow("output off") << "SetupOutputOnOff"
                                    << "0" << QStringList{"DoOutput(false)"};
        QTest::newRow("output on") << "SetupOutputOnOff"
                                   << "1" << QStringList{"DoOutput(true)"};
        QTest::newRow("independent") << "SetupOutputMode"
                                     << "0" << QStringList{"SetMenuOutputModeAllUnchecked", "mnuIndep_Click"};
        QTest::newRow("track") << "SetupOutputMode"
                               << "1" << QStringList{"SetMenuOutputModeAllUnchecked", "mnuTrack_Click"};
        QTest::newRow("parallel") << "SetupOutputMode"
                                  << "2" << QStringList{"SetMenuOutputModeAllUnchecked", "mnuParallel_Click"};
        QTest::newRow("other coupling") << "SetupOutputMode"
                                        << "x" << QStringList{"SetMenuOutputModeAllUnchecked", "mnuTrack_Click"};
        QTest::newRow("auto-run on") << "SetupAutoRun"
                                     << "1" << QStringList{"DoAutoRun(true)"};
        QTest::newRow("auto-run off") << "SetupAutoRun"
                                      << "0" << QStringList{"DoAutoRun(false)"};
    }
    void stateReplies()
    {
        QFETCH(QString, routine);
        QFETCH(QString, reply);
        QFETCH(QStringList, operations);
        QVERIFY(QMetaObject::invokeMethod(panel.get(), routine.toLatin1().constData(), Q_ARG(QString, reply)));
        QCOMPARE(host->operations, operations);
    }

    void pollingCycle()
    {
        QStringList sent;
        for (int i = 0; i < 8; ++i)
            panel->DoQuery();
        QCOMPARE(host->queuedQueries(),
                 (QStringList{":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?",
                              ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?", ":SYST:ERR?", ":CHAN1:MEAS:VOLT?"}));
        QCOMPARE(panel->queryStep(), 8);

        panel->setQueryStep(6999);
        panel->DoQuery();
        QCOMPARE(panel->queryStep(), 0);
        QCOMPARE(host->queuedQueries().last(), QString(":SYST:ERR?"));
    }

    void refusedPollIsRetriedAtTheSameStep()
    {
        panel->setQueryStep(4);
        host->engine().IsRejectAnyTask = true;
        panel->DoQuery();
        QCOMPARE(panel->queryStep(), 4);
        host->engine().IsRejectAnyTask = false;
        panel->DoQuery();
        QCOMPARE(host->queuedQueries(), QStringList{":CHAN3:MEAS:VOLT?"});
        QCOMPARE(panel->queryStep(), 5);
    }

    void readTimesLimitAfterTheInitialRead()
    {
        host->readTimes = 32;
        panel->AfterQueryInitialValuesBeforeShow();
        QCOMPARE(host->engine().QueryCmdMaxMsec, 32000);
    }

    // Live: one whole cycle per period, never two at once; without the
    // output on, no measurements.
    void liveCycle()
    {
        host->output = true;
        panel->DoLiveQuery(1000);
        QStringList expected{":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?",
                             ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?", ":OUTP:STAT?"};
        for (int i = 0; i < 3; ++i)
            expected << QString(":CHAN%1:VOLT?").arg(i + 1);
        for (int i = 0; i < 3; ++i)
            expected << QString(":CHAN%1:CURR?").arg(i + 1);
        for (int i = 0; i < 3; ++i)
            expected << QString(":CHAN%1:PROT:VOLT?").arg(i + 1);
        for (int i = 0; i < 3; ++i)
            expected << QString(":CHAN%1:PROT:CURR?").arg(i + 1);
        expected << ":OUTP:COUP:TRAC?"
                 << ":SYST:AUTO:STAT?"
                 << ":SYST:MEM?"
                 << ":SYST:ERR?";
        QCOMPARE(host->queuedQueries(), expected);
        // Unfinished: the next period queues nothing.
        panel->DoLiveQuery(1000);
        QCOMPARE(host->queuedQueries().size(), expected.size());
        QCOMPARE(panel->livePoller()->skippedPeriods(), 1);

        // A cycle that runs past the read-times limit is told once.
        {
            ManualClock clock;
            host->engine().ResetTasks();
            host->engine().QueryCmdMaxMsec = 500;
            panel->DoLiveQuery(1000);
            clock.advance(0.4);
            panel->DoLiveQuery(1000);
            QVERIFY(host->operations.isEmpty());
            clock.advance(0.2);
            panel->DoLiveQuery(1000);
            panel->DoLiveQuery(1000);
            QCOMPARE(host->operations, QStringList{"ReportStatus(Read Times Failed!,2000)"});
            host->operations.clear();
        }

        // The engine dropped the queries (a reset): the cycle is over.
        host->engine().ResetTasks();
        host->output = false;
        panel->DoLiveQuery(1000);
        QCOMPARE(host->queuedQueries(), expected.mid(6));
    }

    // Live replies: the panel and the device-wide states follow, nothing is
    // sent, garbage changes nothing, and a state reply that may predate a
    // command is passed over.
    void liveRepliesAreFollowed_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("current");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("operations");
        const auto row = [](const char *name, LiveItem item, int channel, const char *reply, bool current,
                            const char *shown, const QStringList &operations = {}) {
            QTest::newRow(name) << static_cast<int>(item) << channel << QString(reply) << current << QString(shown)
                                << operations;
        };
        row("set voltage", LiveItem::SetVoltage, 1, "12.500", true, "12.50");
        row("set voltage, not a number", LiveItem::SetVoltage, 1, "1x", true, "1.00");
        row("set voltage before a command", LiveItem::SetVoltage, 1, "12.500", false, "1.00");
        row("set current", LiveItem::SetCurrent, 2, "0.250", true, "0.250");
        row("over-voltage level", LiveItem::OverVoltageLevel, 0, "31.00", true, "31.00");
        row("over-current on", LiveItem::OverCurrentState, 0, "1", true, "on");
        row("output off while on", LiveItem::OutputState, -1, "0", true, "", {"followOutput(false)"});
        row("output on, as shown", LiveItem::OutputState, -1, "1", true, "");
        row("output garbage", LiveItem::OutputState, -1, "", true, "");
        row("output off before a command", LiveItem::OutputState, -1, "0", false, "");
        row("coupling track", LiveItem::Coupling, -1, "1", true, "", {"followCoupling(2)"});
        row("coupling independent, as shown", LiveItem::Coupling, -1, "0", true, "");
        row("coupling garbage", LiveItem::Coupling, -1, "7", true, "");
        row("auto-run on", LiveItem::AutoRunState, -1, "1", true, "", {"followAutoRun(true)"});
        row("memory", LiveItem::Memory, -1, "4", true, "4");
        row("reading while on", LiveItem::MeasuredVoltage, 2, "4.987", false, "4.987");
    }
    void liveRepliesAreFollowed()
    {
        QFETCH(int, item);
        QFETCH(int, channel);
        QFETCH(QString, reply);
        QFETCH(bool, current);
        QFETCH(QString, shown);
        QFETCH(QStringList, operations);
        host->output = true;
        panel->channel(1).numVoltage->setValue(1);
        const auto kind = static_cast<LiveItem>(item);
        panel->followReply({kind, channel, 0}, reply, current);
        QCOMPARE(host->operations, operations);
        QVERIFY(host->queuedCommands().isEmpty());
        const ChannelControls c = channel >= 0 ? panel->channel(channel) : ChannelControls{};
        switch (kind) {
        case LiveItem::SetVoltage:
            QCOMPARE(c.numVoltage->spinBox()->text(), shown);
            break;
        case LiveItem::SetCurrent:
            QCOMPARE(c.numCurrent->spinBox()->text(), shown);
            break;
        case LiveItem::OverVoltageLevel:
            QCOMPARE(c.numOVP->spinBox()->text(), shown);
            break;
        case LiveItem::OverCurrentState:
            QCOMPARE(c.tbnOCP->Value(), shown == "on");
            break;
        case LiveItem::Memory:
            QCOMPARE(panel->txtMemory->text(), shown);
            break;
        case LiveItem::MeasuredVoltage:
            QCOMPARE(c.txtVoltage->text(), shown);
            // With the output off, readings stay blank.
            host->output = false;
            c.txtVoltage->clear();
            panel->followReply({kind, channel, 0}, reply, current);
            QCOMPARE(c.txtVoltage->text(), QString());
            break;
        default:
            break;
        }
    }
};

QTEST_MAIN(TestLayout1)
#include "tst_layout1.moc"
