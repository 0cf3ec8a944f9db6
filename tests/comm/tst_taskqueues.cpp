#include "comm/CommTasker.h"
#include "ManualClock.h"
#include "Receiver.h"
#include "TraceRecorder.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

class TestTaskQueues : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        engine = std::make_unique<CommTasker>();
        engine->WriterTimer.stop();
    }
    void cleanup() { engine.reset(); }

    void queryRingRefusesThe100thTask()
    {
        TraceRecorder trace;
        Receiver r;
        for (int i = 0; i < 98; ++i)
            QVERIFY(engine->ExecQueryTask("Q" + QString::number(i), 5, &r, "Text", 4, false));
        QVERIFY(engine->ExecQueryTask(":CHAN1:MEAS:VOLT?", 5, &r, "Text", 4, false));
        QCOMPARE(engine->QueryTaskCount, 99);
        QVERIFY(!engine->ExecQueryTask(":CHAN2:MEAS:VOLT?", 5, &r, "Text", 4, false));
        QCOMPARE(engine->QueryTaskCount, 99);
        QCOMPARE(engine->queryHead(), 99);
        QVERIFY(trace.contains("Q overflowed, just dropped::CHAN2:MEAS:VOLT?"));
        QVERIFY(trace.contains("ExecQueryTask:99"));
    }

    void commandRingRefusesThe100thTask()
    {
        TraceRecorder trace;
        for (int i = 0; i < 99; ++i)
            engine->ExecCmdTask("C" + QString::number(i), 0, nullptr, "", 1, false);
        engine->ExecCmdTask(":OUTP:STAT 1", 0, nullptr, "", 1, false);
        QCOMPARE(engine->CmdTaskCount, 99);
        QVERIFY(trace.contains("C overflowed, just dropped it::OUTP:STAT 1"));
    }

    void commandNeverStoresTheAckFlag()
    {
        engine->ExecCmdTask(":OUTP:STAT 1", 0, nullptr, "", 1, true);
        QCOMPARE(engine->cmdTask(0).xIsNeedingAck, false);
        Receiver r;
        engine->ExecQueryTask(":OUTP:STAT?", 5, &r, "Text", 4, true);
        QCOMPARE(engine->queryTask(0).xIsNeedingAck, true);
        QVERIFY(engine->queryTask(0).RspValue.isNull());
        QCOMPARE(engine->queryTask(0).State, 0);
    }

    void validTaskArraySize_data()
    {
        QTest::addColumn<int>("head");
        QTest::addColumn<int>("tail");
        QTest::addColumn<int>("count");
        QTest::newRow("wrapped") << 3 << 198 << 5;
        QTest::newRow("empty") << 7 << 7 << 0;
        QTest::newRow("plain") << 10 << 2 << 8;
        QTest::newRow("wrapped to zero") << 0 << 199 << 1;
    }
    void validTaskArraySize()
    {
        QFETCH(int, head);
        QFETCH(int, tail);
        QFETCH(int, count);
        QCOMPARE(CommTasker::ValidTaskArraySize(200, head, tail), count);
    }

    void slotsWrapAfter200Tasks()
    {
        // No-reply queries finish in one pass each, so 200 of them walk the ring once.
        Receiver r;
        for (int i = 0; i < 200; ++i) {
            QVERIFY(engine->ExecQueryTask("X" + QString::number(i), 0, &r, "", 1, false));
            QCOMPARE(engine->ConsumeQueryTask(), 1);
        }
        QCOMPARE(engine->queryHead(), 0);
        QCOMPARE(engine->queryTail(), 0);
        QCOMPARE(engine->QueryTaskCount, 0);
        engine->ExecQueryTask("again", 0, &r, "", 1, false);
        QCOMPARE(engine->queryTask(0).xOutString, QString("again"));
        QCOMPARE(engine->queryHead(), 1);
    }

    void resetQueryTasksCancelsOnlyWhatIsQueued()
    {
        Receiver r;
        engine->ResetQueryTasks();
        QCOMPARE(engine->QueryTaskCount, 0);
        engine->ExecQueryTask(":SYST:ERR?", 5, &r, "Text", 4, false);
        QVERIFY(!engine->queryTask(0).IsCancelled);
        engine->ExecCmdTask(":OUTP:STAT 0", 0, nullptr, "", 1, false);
        engine->ResetQueryTasks();
        QVERIFY(engine->queryTask(0).IsCancelled);
        QVERIFY(!engine->cmdTask(0).IsCancelled);
        QCOMPARE(engine->QueryTaskCount, 1);
    }

    void clearAllTasksRefusesNewTasksWhileWaiting()
    {
        struct EnqueueingDialog final : IWaitRspDialog {
            CommTasker *engine = nullptr;
            Receiver *receiver = nullptr;
            bool queryAccepted = true;
            bool Execute() override
            {
                queryAccepted = engine->ExecQueryTask(":SYST:ERR?", 5, receiver, "Text", 4, false);
                engine->ExecCmdTask("*SAV 1", 0, nullptr, "", 1, false);
                return true;
            }
        };
        Receiver r;
        EnqueueingDialog dialog;
        dialog.engine = engine.get();
        dialog.receiver = &r;
        engine->setWaitRspDialog(&dialog);
        engine->ExecQueryTask(":OUTP:STAT?", 5, &r, "Text", 4, false);
        engine->ExecCmdTask(":OUTP:STAT 1", 0, nullptr, "", 1, false);

        QVERIFY(engine->ClearAllTasks());
        QVERIFY(!dialog.queryAccepted);
        QCOMPARE(engine->QueryTaskCount, 0);
        QCOMPARE(engine->CmdTaskCount, 0);
        QCOMPARE(engine->queryHead(), 0);
        QCOMPARE(engine->cmdHead(), 0);
        QVERIFY(!engine->IsRejectAnyTask);
        QVERIFY(engine->ExecQueryTask(":SYST:ERR?", 5, &r, "Text", 4, false));
    }

    void clearAllTasksAbandonedKeepsTheRings()
    {
        struct RefusingDialog final : IWaitRspDialog {
            bool Execute() override { return false; }
        };
        RefusingDialog dialog;
        engine->setWaitRspDialog(&dialog);
        Receiver r;
        engine->ExecQueryTask(":OUTP:STAT?", 5, &r, "Text", 4, false);
        QVERIFY(!engine->ClearAllTasks());
        QCOMPARE(engine->QueryTaskCount, 1);
        QVERIFY(!engine->IsRejectAnyTask);
    }

    void rejectAnyTaskRefusesSilently()
    {
        TraceRecorder trace;
        Receiver r;
        engine->IsRejectAnyTask = true;
        QVERIFY(!engine->ExecQueryTask("*IDN?", 5, &r, "DevSetupMachineType", 1, false));
        engine->ExecCmdTask(":OUTP:STAT 1", 0, nullptr, "", 1, false);
        QCOMPARE(engine->QueryTaskCount, 0);
        QCOMPARE(engine->CmdTaskCount, 0);
        QCOMPARE(trace.lines, QStringList{"ExecQueryTask:0"});
    }

private:
    std::unique_ptr<CommTasker> engine;
};

QTEST_GUILESS_MAIN(TestTaskQueues)
#include "tst_taskqueues.moc"
