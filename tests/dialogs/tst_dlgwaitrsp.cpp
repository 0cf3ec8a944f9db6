#include "comm/CommTasker.h"
#include "dialogs/dlgWaitRsp.h"
#include "ManualClock.h"
#include "Receiver.h"
#include "ScriptedModalRunner.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace qle;
using namespace qle::testing;

namespace {

dlgWaitRsp &asDialog(QDialog &d)
{
    return static_cast<dlgWaitRsp &>(d);
}

} // namespace

class TestDlgWaitRsp : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        clock = std::make_unique<ManualClock>();
        engine = std::make_unique<CommTasker>();
        engine->WriterTimer.stop();
        receiver = std::make_unique<Receiver>();
    }
    void cleanup()
    {
        receiver.reset();
        engine.reset();
        clock.reset();
    }

    void fixedTexts()
    {
        dlgWaitRsp dlg(*engine);
        QCOMPARE(dlg.windowTitle(), QString("Dialog Caption"));
        QCOMPARE(dlg.findChild<QLabel *>("Label1")->text(), QString("Waiting Last Response..."));
        QCOMPARE(dlg.ProgressBar1()->minimum(), 0);
        QCOMPARE(dlg.ProgressBar1()->maximum(), 100);
        QCOMPARE(dlg.CheckTimer.interval(), 100);
    }

    // The engine's ClearAllTasks waits through the dialog until the exchange
    // on the wire is answered, then empties its queues.
    void finishesWhenNothingIsPending_data()
    {
        QTest::addColumn<bool>("command");
        QTest::newRow("query on the wire") << false;
        QTest::newRow("command on the wire") << true;
    }
    void finishesWhenNothingIsPending()
    {
        QFETCH(bool, command);
        if (command)
            engine->ExecCmdTask(":OUTP 1", 5, receiver.get(), "Text", 4, false);
        else
            engine->ExecQueryTask(":OUTP?", 5, receiver.get(), "Text", 4, false);
        engine->DoWriterTimer(10);
        engine->DoWriterTimer(10);
        QVERIFY(engine->IsQueryPending || engine->IsCommandPending);

        dlgWaitRsp dlg(*engine);
        engine->setWaitRspDialog(&dlg);
        ScriptedModalRunner runner;
        bool stillWaiting = false;
        bool finished = false;
        runner.script([&](QDialog &d) {
            dlgWaitRsp &w = asDialog(d);
            w.CheckTimer_Timer();
            stillWaiting = w.CheckTimer.isActive() && w.result() == 0;
            engine->RspPush("1");
            w.CheckTimer_Timer();
            finished = !w.CheckTimer.isActive() && w.result() == QDialog::Accepted;
            return w.result();
        });
        QVERIFY(engine->ClearAllTasks());
        QVERIFY(stillWaiting);
        QVERIFY(finished);
        QCOMPARE(receiver->texts, QStringList{"1"});
        QCOMPARE(engine->QueryTaskCount, qint16(0));
        QCOMPARE(engine->CmdTaskCount, qint16(0));
    }

    // Cancel stops waiting but still lets the caller clear its queues.
    void cancelAnswersTrue()
    {
        engine->ExecQueryTask(":OUTP?", 5, receiver.get(), "Text", 4, false);
        engine->ExecQueryTask(":CHAN1:VOLT?", 5, receiver.get(), "Text", 4, false);
        dlgWaitRsp dlg(*engine);
        engine->setWaitRspDialog(&dlg);
        ScriptedModalRunner runner;
        bool timerStopped = false;
        bool wasPending = false;
        runner.script([&](QDialog &d) {
            asDialog(d).CheckTimer_Timer();
            asDialog(d).CheckTimer_Timer();
            wasPending = engine->IsQueryPending;
            asDialog(d).CancelButton()->click();
            timerStopped = !asDialog(d).CheckTimer.isActive();
            return QDialog::Rejected;
        });
        QVERIFY(dlg.Execute());
        QVERIFY(wasPending);
        QVERIFY(timerStopped);

        runner.script([](QDialog &d) {
            asDialog(d).CancelButton()->click();
            return QDialog::Rejected;
        });
        QVERIFY(engine->ClearAllTasks());
        QCOMPARE(engine->QueryTaskCount, qint16(0));
    }

    // A running bar: one step per tick, back to the start past 100, and at 0
    // whenever the dialog opens.
    void barRunsAndStartsOver()
    {
        engine->ExecQueryTask(":OUTP?", 5, receiver.get(), "Text", 4, false);
        dlgWaitRsp dlg(*engine);
        for (int i = 0; i < 100; ++i)
            dlg.CheckTimer_Timer();
        QVERIFY(engine->IsQueryPending);
        QCOMPARE(dlg.ProgressBar1()->value(), 100);
        dlg.CheckTimer_Timer();
        QCOMPARE(dlg.ProgressBar1()->value(), 0);
        dlg.CheckTimer_Timer();
        QCOMPARE(dlg.ProgressBar1()->value(), 1);

        ScriptedModalRunner runner;
        int atOpen = -1;
        runner.script([&](QDialog &d) {
            atOpen = asDialog(d).ProgressBar1()->value();
            asDialog(d).CancelButton()->click();
            return QDialog::Rejected;
        });
        dlg.Execute();
        QCOMPARE(atOpen, 0);
    }

    // With QDialog::exec behind the runner, the shown dialog's own timer
    // drives the engine and the dialog closes itself once the reply is in.
    void closesItselfUnderTheRealRunner()
    {
        engine->ExecQueryTask(":OUTP?", 5, receiver.get(), "Text", 4, false);
        engine->DoWriterTimer(10);
        engine->DoWriterTimer(10);
        QVERIFY(engine->IsQueryPending);
        dlgWaitRsp dlg(*engine);
        QTimer::singleShot(300, this, [&] {
            QVERIFY(dlg.isVisible());
            engine->RspPush("0");
        });
        QTimer::singleShot(5000, &dlg, &QDialog::reject); // a hung test ends here
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(dlg.Execute());
        QVERIFY(elapsed.elapsed() < 4000);
        QVERIFY(!dlg.isVisible());
        QVERIFY(!engine->IsQueryPending);
        QCOMPARE(receiver->texts, QStringList{"0"});
    }

private:
    std::unique_ptr<ManualClock> clock;
    std::unique_ptr<CommTasker> engine;
    std::unique_ptr<Receiver> receiver;
};

QTEST_MAIN(TestDlgWaitRsp)
#include "tst_dlgwaitrsp.moc"
