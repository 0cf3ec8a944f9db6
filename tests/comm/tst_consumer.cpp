#include "comm/CommTasker.h"
#include "FakeGpibDevice.h"
#include "ManualClock.h"
#include "Receiver.h"
#include "TraceRecorder.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

// A receiver that starts over, as identification does, emptying the rings
// while the engine is still delivering to it.
class Restarter final : public QObject {
    Q_OBJECT
public:
    explicit Restarter(CommTasker *engine) : m_engine(engine) {}
    int calls = 0;
public slots:
    void Restart(const QString &)
    {
        ++calls;
        m_engine->ResetTasks();
    }

private:
    CommTasker *m_engine;
};

// Drives the consumer pass by pass; the engine's own timer is stopped and no
// event is processed unless a test asks for it.
class TestConsumer : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        clock = std::make_unique<ManualClock>();
        engine = std::make_unique<CommTasker>();
        engine->WriterTimer.stop();
        engine->setHost(&host);
        host = FakeHost();
    }
    void cleanup()
    {
        engine.reset();
        clock.reset();
    }

    void commandIsWrittenBeforeQuery()
    {
        FakeGpibDevice gpib;
        engine->setGpibDevice(&gpib);
        engine->CommType = "GPIB";
        Receiver r;
        gpib.replies[":OUTP:STAT?"] = "1\n";
        engine->ExecQueryTask(":OUTP:STAT?", 5, &r, "Text", 4, false);
        engine->ExecCmdTask(":OUTP:STAT 1", 0, &r, "", 1, false);
        QTRY_COMPARE(r.texts, QStringList{"1"});
        QCOMPARE(gpib.written, (QByteArrayList{":OUTP:STAT 1", ":OUTP:STAT?"}));
        QCOMPARE(gpib.reads, 1);
    }

    void queryWithoutReplyFinishesInOnePass()
    {
        Receiver r;
        engine->ExecQueryTask("*RST", 0, &r, "", 1, false);
        QCOMPARE(engine->ConsumeQueryTask(), 1);
        QCOMPARE(engine->QueryTaskCount, 0);
        QCOMPARE(engine->queryTask(0).State, int(TaskFinished));
        QVERIFY(!engine->IsQueryPending);
    }

    void queryWithReplyTakesThreePasses()
    {
        TraceRecorder trace;
        Receiver r;
        engine->ExecQueryTask(":CHAN1:MEAS:VOLT?", 5, &r, "Text", 4, false);
        QCOMPARE(engine->ConsumeQueryTask(), 0);
        QCOMPARE(engine->queryTask(0).State, int(TaskWaitWrite));
        QCOMPARE(engine->ConsumeQueryTask(), 0);
        QCOMPARE(engine->queryTask(0).State, int(TaskWaitRsp));
        QVERIFY(engine->IsQueryPending);
        QCOMPARE(engine->ConsumeQueryTask(), 0); // nothing arrived yet
        engine->RspTask("12.000\n");
        QCOMPARE(engine->ConsumeQueryTask(), 1);
        QCOMPARE(r.texts, QStringList{"12.000"});
        QCOMPARE(engine->CurQueryCmdCnt, 0); // no polling cycle configured
        QVERIFY(!engine->IsQueryPending);
        QVERIFY(trace.contains("query paired:':CHAN1:MEAS:VOLT?' '12.000'"));
        QVERIFY(trace.contains("Q x called"));
        QCOMPARE(engine->IsQueueLocked, 0);
    }

    void cancelledReplyIsPairedButNotDelivered()
    {
        TraceRecorder trace;
        Receiver r;
        engine->ExecQueryTask(":CHAN1:MEAS:CURR?", 5, &r, "Text", 4, false);
        engine->ConsumeQueryTask();
        engine->ConsumeQueryTask();
        engine->ResetQueryTasks();
        engine->RspTask("0.500\n");
        QCOMPARE(engine->ConsumeQueryTask(), 1);
        QVERIFY(r.texts.isEmpty());
        QVERIFY(trace.contains("query paired but cancelled"));
        QCOMPARE(engine->RspCount(), 0);
        QVERIFY(!engine->IsQueryPending);
    }

    void waitingAckBlocksBothRings()
    {
        Receiver r;
        engine->ExecQueryTask("*IDN?", 5, &r, "TakeReply", 1, true);
        engine->ConsumeTask();
        engine->ConsumeTask();
        engine->RspTask("QV Instruments,KMA-3303T,SN1,1.0\n");
        engine->ConsumeTask();
        QCOMPARE(r.calls.size(), 1);
        QVERIFY(engine->isWaitingAck());

        engine->ExecCmdTask(":OUTP:STAT 1", 0, &r, "", 1, false);
        engine->ExecQueryTask(":OUTP:STAT?", 0, &r, "", 1, false);
        for (int i = 0; i < 5; ++i)
            engine->ConsumeTask();
        QCOMPARE(engine->CmdTaskCount, 1);
        QCOMPARE(engine->QueryTaskCount, 1);

        engine->TaskAck();
        engine->ConsumeTask();
        QCOMPARE(engine->CmdTaskCount, 0);
        QCOMPARE(engine->QueryTaskCount, 0);
    }

    // A line that came before the question is not its answer: dropped when
    // the query is written; the query waits for its own reply.
    void strayReplyIsDroppedWhenTheNextQueryIsWritten()
    {
        TraceRecorder trace;
        Receiver r;
        engine->RspTask("stray\n");
        engine->ExecQueryTask(":SYST:ERR?", 5, &r, "Text", 4, false);
        QCOMPARE(engine->ConsumeQueryTask(), 0);
        QCOMPARE(engine->ConsumeQueryTask(), 0);
        QVERIFY(r.texts.isEmpty());
        QCOMPARE(trace.count("stale reply dropped before ':SYST:ERR?': 1"), 1);
        QVERIFY(engine->IsQueryPending);
        engine->RspTask("0,\"No error\"\n");
        QCOMPARE(engine->ConsumeQueryTask(), 1);
        QCOMPARE(r.texts, QStringList{"0,\"No error\""});

        // A command that expects a reply drops them the same way.
        engine->RspTask("late\n");
        engine->ExecCmdTask(":CHAN1:VOLT?", 5, &r, "Text", 4, false);
        for (int pass = 0; pass < 3 && !engine->IsCommandPending; ++pass)
            engine->ConsumeCmdTask();
        QVERIFY(engine->IsCommandPending);
        QCOMPARE(engine->RspCount(), 0);
        QCOMPARE(r.texts.size(), 1);
    }

    void receiverClosedWhileQueryInFlightIsNotTouched()
    {
        TraceRecorder trace;
        auto *r = new Receiver;
        engine->ExecQueryTask(":CHAN1:VOLT?", 5, r, "Text", 4, false);
        engine->ConsumeQueryTask();
        engine->ConsumeQueryTask();
        delete r;
        engine->RspTask("5.000\n");
        QCOMPARE(engine->ConsumeQueryTask(), 1);
        QVERIFY(trace.lines.filter("receiver is gone").size() == 1);
        QCOMPARE(engine->QueryTaskCount, 0);
    }

    void timeoutCallsTheRegisteredRoutineOnce()
    {
        Receiver r;
        Receiver timeoutReceiver;
        engine->SetupTimeoutTask(&timeoutReceiver, "OnTimeout");
        engine->ExecQueryTask("*IDN?", 5, &r, "TakeReply", 1, false);
        engine->ExecQueryTask(":SYST:ERR?", 5, &r, "Text", 4, false);
        engine->DoWriterTimer(10); // set-up
        engine->DoWriterTimer(10); // written, now pending
        QVERIFY(engine->IsQueryPending);
        clock->advance(19.9);
        engine->DoWriterTimer(10);
        QCOMPARE(timeoutReceiver.timeouts, 0);
        QVERIFY(engine->MaxRspTimeSec > 19.8);
        clock->advance(0.6);
        engine->DoWriterTimer(10);
        QCOMPARE(timeoutReceiver.timeouts, 1);
        QCOMPARE(engine->QueryTaskCount, 0);
        QCOMPARE(engine->LastRspTimeSec, -1.0);
        QVERIFY(!engine->hasTimeoutReceiver());
        QVERIFY(!engine->IsQueryPending);

        engine->DoWriterTimer(10);
        QCOMPARE(engine->LastRspTimeSec, clock->monotonicSec());
        QCOMPARE(timeoutReceiver.timeouts, 1);
        QVERIFY(r.calls.isEmpty());
    }

    void readTimesFailedAfterTheCycleLimit()
    {
        host.queryTimerEnabled = true;
        engine->QueryCmdCnt = 7;
        engine->QueryCmdMaxMsec = 2000;
        engine->CurQueryCmdCnt = 3;
        for (int i = 0; i < 200; ++i)
            engine->DoWriterTimer(10);
        QVERIFY(host.reports.isEmpty());
        QCOMPARE(engine->CurQuerySpentMsec, 2000);
        engine->DoWriterTimer(10);
        QCOMPARE(host.reports, QStringList{"Read Times Failed!/2000"});
        QCOMPARE(engine->CurQuerySpentMsec, 0);

        // A completed cycle starts the count again; supervision off keeps it at 0.
        engine->CurQueryCmdCnt = 7;
        engine->DoWriterTimer(10);
        QCOMPARE(engine->CurQueryCmdCnt, 0);
        engine->QueryCmdMaxMsec = 0;
        engine->DoWriterTimer(10);
        QCOMPARE(engine->CurQuerySpentMsec, 0);

        host.queryTimerEnabled = false;
        engine->CurQueryCmdCnt = 5;
        engine->DoWriterTimer(10);
        QCOMPARE(engine->CurQueryCmdCnt, 0);
        QCOMPARE(host.reports.size(), 1);
    }

    void finishedQueriesCountTowardsTheCycle()
    {
        Receiver r;
        engine->QueryCmdCnt = 2;
        for (int i = 0; i < 3; ++i) {
            engine->ExecQueryTask("X", 0, &r, "", 1, false);
            engine->ConsumeQueryTask();
        }
        QCOMPARE(engine->CurQueryCmdCnt, 2);
    }

    void resetDuringDeliveryLeavesTheRingsEmpty()
    {
        Restarter restarter(engine.get());
        engine->ExecQueryTask("*IDN?", 5, &restarter, "Restart", 1, false);
        engine->ConsumeQueryTask();
        engine->ConsumeQueryTask();
        engine->RspTask("x\n");
        engine->ConsumeQueryTask();
        QCOMPARE(restarter.calls, 1);
        QCOMPARE(engine->queryHead(), 0);
        QCOMPARE(engine->queryTail(), 0);
        QCOMPARE(engine->QueryTaskCount, 0);
        QCOMPARE(engine->IsQueueLocked, 0);
    }

    void scheduledPassesRunAWholeExchangeWithoutTicks()
    {
        Receiver r;
        engine->ExecQueryTask(":CHAN2:MEAS:VOLT?", 5, &r, "Text", 4, false);
        QTRY_COMPARE(engine->queryTask(0).State, int(TaskWaitRsp));
        engine->RspTask("3.300\n");
        // A pushed line alone does not schedule a pass; the serial receive path does.
        QCOMPARE(engine->ConsumeQueryTask(), 1);
        QCOMPARE(r.texts, QStringList{"3.300"});
    }

    // The tick rests while the engine has nothing to do and is back as soon
    // as work comes; a tick stopped from outside stays stopped.
    void tickRestsWhileIdle()
    {
        CommTasker idle;
        idle.setHost(&host);
        QVERIFY(idle.WriterTimer.isActive());
        idle.DoWriterTimer(10);
        QVERIFY(!idle.WriterTimer.isActive());
        QVERIFY(idle.isTickResting());

        // A query wakes it, and its 20-s time-out starts from now, not from
        // when the tick went to rest.
        clock->advance(60);
        QVERIFY(idle.ExecQueryTask("VOUT1?", 5, nullptr, "Text", 4, false));
        QVERIFY(idle.WriterTimer.isActive());
        QCOMPARE(idle.LastRspTimeSec, clock->monotonicSec());
        idle.DoWriterTimer(10); // set-up
        idle.DoWriterTimer(10); // written, now pending
        QVERIFY(idle.IsQueryPending);
        idle.DoWriterTimer(10);
        QVERIFY(idle.WriterTimer.isActive());
        QCOMPARE(idle.RspTimeSec, 0.0);

        // Polling being timed, or a trace being written, keeps it going.
        idle.ResetTasks();
        idle.IsQueryPending = false;
        host.queryTimerEnabled = true;
        idle.QueryCmdCnt = 7;
        idle.DoWriterTimer(10);
        QVERIFY(idle.WriterTimer.isActive());
        host.queryTimerEnabled = false;
        {
            TraceRecorder trace;
            idle.DoWriterTimer(10);
            QVERIFY(idle.WriterTimer.isActive());
        }
        idle.DoWriterTimer(10);
        QVERIFY(!idle.WriterTimer.isActive());

        // Polling that starts wakes it, so the read-times watch counts from
        // then and not from the first query a period later.
        host.queryTimerEnabled = true;
        idle.QueryCmdMaxMsec = 5000;
        idle.pollingStarted();
        QVERIFY(idle.WriterTimer.isActive());
        for (int i = 0; i < 5; ++i)
            idle.DoWriterTimer(10);
        QCOMPARE(idle.CurQuerySpentMsec, 50);
        host.queryTimerEnabled = false;

        // This test's engine had its tick stopped by hand: work leaves it so.
        QVERIFY(!engine->isTickResting());
        engine->ExecCmdTask("OUT1", 0, nullptr, QString(), 1, false);
        QVERIFY(!engine->WriterTimer.isActive());
    }

private:
    std::unique_ptr<ManualClock> clock;
    std::unique_ptr<CommTasker> engine;
    FakeHost host;
};

QTEST_GUILESS_MAIN(TestConsumer)
#include "tst_consumer.moc"
