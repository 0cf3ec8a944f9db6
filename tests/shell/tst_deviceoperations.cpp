#include "comm/CommTasker.h"
#include "dialogs/dlgRecallData.h"
#include "ManualClock.h"
#include "panels/frmLayout1.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "shell/MainMenu.h"
#include "shell/MainToolbar.h"
#include "ShellFixture.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>

using namespace qle;
using namespace qle::testing;

// The device-wide operations on a three-output model, over a scripted
// instrument on a pseudo-terminal.
class TestDeviceOperations : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    std::unique_ptr<ShellFixture> fx;
    std::unique_ptr<ScriptedInstrument> instrument;
    std::unique_ptr<MDIForm1> w;

    frmLayout1 *panel() const { return static_cast<frmLayout1 *>(w->currentPanel()); }

    // Lines the instrument received from now on.
    int mark() const { return static_cast<int>(instrument->received.size()); }
    QStringList since(int from) const { return instrument->received.mid(from); }

    void scriptNumber(int value)
    {
        fx->dialogs.script([value](QDialog &d) {
            d.findChild<QSpinBox *>()->setValue(value);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
    }

    // Runs the dialog for real: the user types the digits and presses Enter.
    void scriptTyped(const QString &digits)
    {
        fx->dialogs.script([digits](QDialog &d) {
            QTimer::singleShot(0, &d, [&d, digits] {
                QWidget *field = d.focusWidget();
                QTest::keyClicks(field, digits);
                QTest::keyClick(field, Qt::Key_Return);
            });
            return d.exec();
        });
    }

    // Waits until nothing is queued or on the wire.
    void settle()
    {
        QTRY_VERIFY(w->engine().QueryTaskCount + w->engine().CmdTaskCount == 0 && !w->engine().IsQueryPending &&
                    !w->engine().IsCommandPending);
        QTest::qWait(50);
    }

    void connectSerial()
    {
        fx->scriptSerialOk();
        fx->scriptRealRun();
        w->mnuRS232_Click();
        // Generous: under the sanitizers, beside other tests, the initial reading is slow.
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()),
                                 30000);
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().CmdTaskCount + w->engine().QueryTaskCount, 0, 30000);
    }

private slots:
    void initTestCase() { ShellFixture::isolateSettings(config); }
    void init()
    {
        ShellFixture::clearSettings();
        fx = std::make_unique<ShellFixture>();
        instrument = std::make_unique<ScriptedInstrument>();
        instrument->replies["*IDN?"] = "QV Instruments,KMA-3303T,SN000123,1.0";
        instrument->replies[":CHAN1:MEAS:VOLT?"] = "5.000";
        instrument->replies[":SYST:ERR?"] = "0,\"No error\"";
        w = fx->makeWindow({instrument->path()});
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
    }
    void cleanup()
    {
        w.reset();
        instrument.reset();
        fx.reset();
    }

    void outputStartsAndStopsPolling()
    {
        connectSerial();
        int from = mark();
        w->mnuOutput_Click();
        QVERIFY(w->QueryTimer.isActive());
        QVERIFY(w->menu().mnuRecord->menuAction()->isEnabled());
        QVERIFY(w->toolbar().isPressed("Output"));
        QVERIFY(panel()->outputButton()->Value());
        QVERIFY(panel()->IsOutput);
        QTRY_COMPARE(since(from), QStringList{":OUTP:STAT 1"});

        // One poll per tick, in cycle order; readings arrive in the panel.
        w->QueryTimer.setInterval(20);
        QTRY_VERIFY(since(from).size() >= 8);
        QCOMPARE(since(from).mid(1, 7),
                 (QStringList{":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?",
                              ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?", ":SYST:ERR?"}));
        QTRY_COMPARE(panel()->voltageText(0), QString("5.000"));

        from = mark();
        w->toolbar().button("Output")->trigger();
        QVERIFY(!w->QueryTimer.isActive());
        QVERIFY(!w->menu().mnuOutput->isChecked());
        QVERIFY(!w->toolbar().isPressed("Output"));
        QVERIFY(!w->menu().mnuRecord->menuAction()->isEnabled());
        QCOMPARE(panel()->voltageText(0), QString());
        QTRY_VERIFY(since(from).contains(":OUTP:STAT 0"));
    }

    void couplingLocksThePanel()
    {
        connectSerial();
        const int from = mark();
        panel()->optParal->click();
        QVERIFY(w->menu().mnuParallel->isChecked());
        QVERIFY(!w->menu().mnuIndep->isChecked());
        QVERIFY(!panel()->channel(0).numVoltage->isEnabled());
        QVERIFY(panel()->channel(1).numVoltage->isEnabled());
        w->mnuTrack_Click();
        QVERIFY(panel()->optTrack->isChecked());
        QVERIFY(panel()->channel(0).numCurrent->isEnabled());
        QVERIFY(!panel()->channel(0).numOVP->isEnabled());
        w->mnuIndep_Click();
        QVERIFY(panel()->channel(0).numVoltage->isEnabled());
        QTRY_COMPARE(since(from), (QStringList{":OUTP:COUP:TRAC 2", ":OUTP:COUP:TRAC 1", ":OUTP:COUP:TRAC 0"}));
    }

    void couplingCancelsQueuedPollsExceptDuringTheInitialRead()
    {
        connectSerial();
        w->engine().WriterTimer.stop();
        w->engine().IsQueueLocked = 1; // hold the consumer so the queue stays as it is
        w->engine().ExecQueryTask(":CHAN1:MEAS:VOLT?", 5, panel()->channel(0).txtVoltage, "Text", 4, false);
        w->IsQueryInitialValues = true;
        w->mnuParallel_Click();
        QVERIFY(!w->engine().queryTask(w->engine().queryTail()).IsCancelled);
        w->IsQueryInitialValues = false;
        w->mnuIndep_Click();
        QVERIFY(w->engine().queryTask(w->engine().queryTail()).IsCancelled);
        w->engine().IsQueueLocked = 0;
        w->engine().WriterTimer.start();
    }

    void autoRunLocksAndUnlocks()
    {
        connectSerial();
        w->mnuParallel_Click();
        settle();
        int from = mark();
        w->mnuAutoRun_Click();
        QVERIFY(w->menu().mnuAutoRun->isChecked());
        QVERIFY(w->toolbar().isPressed("AutoRun"));
        QVERIFY(panel()->tbnAutoRun->Value());
        QVERIFY(!panel()->optIndep->isEnabled());
        QVERIFY(!panel()->channel(2).numVoltage->isEnabled());
        QVERIFY(panel()->outputButton()->isEnabled());
        QTRY_COMPARE(since(from), QStringList{":SYST:AUTO:STAT 1"});

        from = mark();
        panel()->tbnAutoRun->click();
        QVERIFY(!w->menu().mnuAutoRun->isChecked());
        QVERIFY(panel()->optIndep->isEnabled());
        // Unlocking re-applies the coupling, which is sent again.
        QVERIFY(!panel()->channel(0).numVoltage->isEnabled());
        QTRY_COMPARE(since(from), (QStringList{":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 2"}));
    }

    void memoryStoreAndDialogs()
    {
        connectSerial();
        int from = mark();
        scriptNumber(4);
        w->mnuSaveMemory_Click();
        QTRY_COMPARE(since(from), (QStringList{"*SAV 4", ":SYST:MEM?"}));
        // The number field has the focus with its text selected: a typed
        // digit replaces the offered 4, and Enter confirms it.
        from = mark();
        scriptTyped("3");
        w->mnuSaveMemory_Click();
        QTRY_COMPARE(since(from), (QStringList{"*SAV 3", ":SYST:MEM?"}));

        from = mark();
        scriptNumber(3);
        fx->dialogs.script([](QDialog &d) {
            const auto boxes = d.findChildren<QSpinBox *>();
            boxes.at(1)->setValue(5);
            boxes.at(2)->setValue(40000);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        fx->dialogs.steps.removeFirst(); // the auto-mode dialog takes the second script
        w->mnuAutoMode_Click();
        // A tick serves the command ring first, then may start a query, so
        // the two kinds interleave; each keeps its own order.
        QTRY_COMPARE(since(from).filter(QRegularExpression("^[^?]*$")),
                     (QStringList{":SYST:AUTO:STAR 0", ":SYST:AUTO:END 5", ":SYST:AUTO:CYCL 40000"}));
        QTRY_COMPARE(since(from).filter("?"),
                     (QStringList{":SYST:AUTO:STAR?", ":SYST:AUTO:END?", ":SYST:AUTO:CYCLE?"}));

        from = mark();
        scriptNumber(7);
        w->mnuDelay_Click();
        QTRY_COMPARE(since(from), (QStringList{":SYST:AUTO:DEL 7", ":SYST:AUTO:DEL?"}));

        from = mark();
        fx->dialogs.script([](QDialog &) { return QDialog::Rejected; });
        w->mnuDelay_Click();
        w->mnuClearErrorOfProtection_Click();
        QTRY_COMPARE(since(from), QStringList{":OUTP:PROT:CLE"});
    }

    void recallRereadsEverything()
    {
        connectSerial();
        w->mnuOutput_Click();
        QTRY_VERIFY(instrument->received.contains(":OUTP:STAT 1"));
        w->QueryTimer.stop();
        QTRY_COMPARE(w->engine().QueryTaskCount + w->engine().CmdTaskCount, 0);
        QTRY_VERIFY(!w->engine().IsQueryPending);
        w->QueryTimer.start();
        const int from = mark();
        scriptNumber(2);     // recall dialog
        fx->scriptRealRun(); // waiting for the last response
        fx->scriptRealRun(); // the initial reading again
        w->mnuRecallMemory_Click();
        QVERIFY(w->RecallTimer.isActive());
        QTRY_VERIFY(since(from).contains(":SYST:MEM?") && since(from).indexOf("*RCL 2") >= 0 &&
                    since(from).filter("?").size() >= 27);
        const QStringList lines = since(from);
        QCOMPARE(lines.first(), QString(":OUTP:STAT 0"));
        const int recall = static_cast<int>(lines.indexOf("*RCL 2"));
        QCOMPARE(lines.mid(recall + 1, 1), QStringList{":SYST:AUTO:STAR?"});
        QCOMPARE(lines.last(), QString(":SYST:MEM?"));
        // The instrument reported its output off, and everything follows it.
        QVERIFY(!w->menu().mnuOutput->isChecked());
        QVERIFY(!w->QueryTimer.isActive());
        QCOMPARE(w->MainFormState, 3);
    }

    void readTimesWorksInAnyState()
    {
        scriptNumber(12);
        w->mnuReadTimes_Click();
        QCOMPARE(w->engine().QueryCmdMaxMsec, 12000);
        scriptNumber(40); // the field stops at 32
        w->mnuReadTimes_Click();
        QCOMPARE(w->engine().QueryCmdMaxMsec, 32000);
        scriptTyped("9");
        w->mnuReadTimes_Click();
        QCOMPARE(w->engine().QueryCmdMaxMsec, 9000);
    }

    // Testing mode refuses every task for its whole life: a recall queues
    // nothing, so no time-out follows it.
    void testingModeRecallSendsNothing()
    {
        ManualClock clock;
        w->Setup("Menu", "KMA-3303T", false);
        QCOMPARE(w->MainFormState, 3);
        scriptNumber(2);     // recall dialog
        fx->scriptRealRun(); // waiting for the last response
        w->mnuRecallMemory_Click();
        QTRY_VERIFY(!w->RecallTimer.isActive() && fx->dialogs.steps.isEmpty());
        QVERIFY(w->engine().IsRejectAnyTask);
        QCOMPARE(w->engine().QueryTaskCount + w->engine().CmdTaskCount, 0);
        clock.advance(CommTasker::ResponseTimeoutSec + 5);
        QTest::qWait(200);
        QVERIFY2(fx->boxes.shown().isEmpty(), qPrintable(fx->boxes.texts().join(u'|')));
        QCOMPARE(w->MainFormState, 3);
        QVERIFY(w->currentPanel());
    }

    void operationsOutsideTheRunningStateDoNothing()
    {
        w->mnuOutput_Click();
        w->mnuParallel_Click();
        w->mnuAutoRun_Click();
        w->mnuClearErrorOfProtection_Click();
        w->mnuSaveMemory_Click();
        QVERIFY(!w->menu().mnuOutput->isChecked());
        QCOMPARE(w->engine().CmdTaskCount, 0);
        QVERIFY(fx->dialogs.shownTitles.isEmpty());
    }

    void unpluggedInstrumentResetsWithinASecond()
    {
        connectSerial();
        w->mnuOutput_Click();
        w->QueryTimer.setInterval(50);
        QTRY_VERIFY(instrument->received.filter("MEAS").size() >= 2);
        QElapsedTimer elapsed;
        elapsed.start();
        instrument->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(fx->boxes.shown().size(), 1, 3000);
        QVERIFY2(elapsed.elapsed() < 1000, qPrintable(QString::number(elapsed.elapsed())));
        // The cause follows on a second line of the same box.
        const QStringList lines = fx->boxes.texts().first().split(u'\n');
        QCOMPARE(lines.first(), QString("Operation Timeout, Causes Reset Now."));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.last().startsWith("The serial port /"), qPrintable(lines.last()));
        QCOMPARE(w->MainFormState, 0);
        QTRY_VERIFY(!w->currentPanel());
        QVERIFY(!w->QueryTimer.isActive());
    }

    void onLineButton()
    {
        // No link saved yet: the button only returns to its pressed look.
        w->toolbar().button("OnOffLine")->trigger();
        QVERIFY(w->toolbar().isPressed("OnOffLine"));
        QCOMPARE(w->MainFormState, 0);

        // After a testing-mode run it starts testing mode again, without dialogs.
        w->Setup("Menu", "KMC-3303T", false);
        w->ResetAll();
        w->toolbar().button("OnOffLine")->trigger();
        QCOMPARE(w->MainFormState, 3);
        QCOMPARE(w->MachineType, QString("KMC-3303T"));
        QVERIFY(fx->dialogs.shownTitles.isEmpty());
        w->ResetAll();

        // After a serial run it reconnects to the same device, no link dialog.
        connectSerial();
        const QString device = w->engine().MSComm1.portName();
        w->ResetAll();
        QCOMPARE(w->MainFormState, 0);
        const int shown = static_cast<int>(fx->dialogs.shownTitles.size());
        fx->scriptRealRun();
        w->toolbar().button("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()),
                                 30000);
        QCOMPARE(fx->dialogs.shownTitles.mid(shown), QStringList{"Querying..."});
        QVERIFY(!w->toolbar().isPressed("OnOffLine"));
        QVERIFY(w->engine().MSComm1.isOpen());
        QCOMPARE(w->engine().MSComm1.portName(), device);
    }
};

QTEST_MAIN(TestDeviceOperations)
#include "tst_deviceoperations.moc"
