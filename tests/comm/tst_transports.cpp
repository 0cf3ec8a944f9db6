#include "comm/CommTasker.h"
#include "FakeGpibDevice.h"
#include "ManualClock.h"
#include "PtyPair.h"
#include "Receiver.h"
#include "ScriptedMessageBox.h"
#include "TraceRecorder.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace qle;
using namespace qle::testing;

class TestTransports : public QObject {
    Q_OBJECT

private:
    static void openSerial(CommTasker &engine, const PtyPair &pty)
    {
        engine.MSComm1.setPortName(pty.slavePath());
        QVERIFY(engine.MSComm1.open(QIODevice::ReadWrite));
        QVERIFY(engine.MSComm1.setBaudRate(9600));
        engine.CommType = "RS232";
    }

private slots:
    void identificationReplyInTwoChunksReachesTheRoutine()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        CommTasker engine;
        openSerial(engine, pty);
        Receiver r;
        connect(&pty, &PtyPair::dataReceived, this, [&] {
            if (!pty.received().endsWith("\r\n"))
                return;
            QCOMPARE(pty.takeReceived(), QByteArray("*IDN?\r\n"));
            pty.write("QV Instruments,KMA-33");
            QTimer::singleShot(60, &pty, [&] { pty.write("03T,SN000123,1.0\r\n"); });
        });
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(engine.ExecQueryTask("*IDN?", 5, &r, "TakeReply", 1, false));
        QTRY_COMPARE(r.calls, QStringList{"QV Instruments,KMA-3303T,SN000123,1.0"});
        QCOMPARE(engine.Text1, QString("QV Instruments,KMA-3303T,SN000123,1.0"));
        QVERIFY(!engine.IsQueryPending);
        QVERIFY(!engine.bGetSerialData);
        // No half-second poll: the reply is delivered as soon as its line ends.
        QVERIFY2(elapsed.elapsed() < 400, qPrintable(QString::number(elapsed.elapsed())));
    }

    void onlyQueriesAwaitSerialData()
    {
        PtyPair pty;
        CommTasker engine;
        openSerial(engine, pty);
        engine.ExecCmdTask(":CHAN1:VOLT 5.", 0, &engine, "", 1, false);
        QTRY_COMPARE(pty.received(), QByteArray(":CHAN1:VOLT 5.\r\n"));
        QVERIFY(!engine.bGetSerialData);
        Receiver r;
        engine.ExecQueryTask(":CHAN1:VOLT?", 5, &r, "Text", 4, false);
        QTRY_VERIFY(pty.received().endsWith(":CHAN1:VOLT?\r\n"));
        QVERIFY(engine.bGetSerialData);
        pty.write("5.000\r\n");
        QTRY_COMPARE(r.texts, QStringList{"5.000"});
        QVERIFY(!engine.bGetSerialData);
    }

    void failedSerialWriteShowsOneBoxAndRetries()
    {
        ScriptedMessageBox boxes;
        ManualClock clock;
        TraceRecorder trace;
        CommTasker engine;
        engine.WriterTimer.stop();
        engine.CommType = "RS232"; // port never opened
        Receiver r;
        engine.ExecQueryTask(":SYST:ERR?", 5, &r, "Text", 4, false);
        engine.ConsumeQueryTask();
        QCOMPARE(engine.ConsumeQueryTask(), 0);
        QCOMPARE(engine.opMode(), 0);
        QVERIFY(engine.IsQueryPending);
        QVERIFY(trace.contains("QueryWaitWrite Error"));
        QCoreApplication::processEvents();
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().at(0).icon, IMessageBox::Icon::Critical);

        // Within two seconds the write is not tried again; after them it is.
        trace.lines.clear();
        clock.advance(1.5);
        engine.ConsumeQueryTask();
        QVERIFY(trace.contains("QueryWaitWriteErrorWait"));
        clock.advance(0.6);
        trace.lines.clear();
        engine.ConsumeQueryTask();
        QVERIFY(trace.contains("QueryWaitWrite Error"));
        QCoreApplication::processEvents();
        QCOMPARE(boxes.shown().size(), 1);
    }

    void vanishingPortEndsTheTransactionAtOnce()
    {
        ScriptedMessageBox boxes;
        auto pty = std::make_unique<PtyPair>();
        CommTasker engine;
        openSerial(engine, *pty);
        Receiver r;
        Receiver timeoutReceiver;
        engine.SetupTimeoutTask(&timeoutReceiver, "OnTimeout");
        engine.ExecQueryTask(":CHAN1:MEAS:VOLT?", 5, &r, "Text", 4, false);
        QTRY_VERIFY(pty->received().endsWith("?\r\n"));
        QElapsedTimer elapsed;
        elapsed.start();
        pty->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(timeoutReceiver.timeouts, 1, 2000);
        QVERIFY(elapsed.elapsed() < 1000);
        QCOMPARE(engine.QueryTaskCount, 0);
        QVERIFY(!engine.IsQueryPending);
        QVERIFY(!engine.MSComm1.isOpen());
    }

    // A hang-up reaches the port as a resource error or as a read that ends
    // the stream (read error, reported again at every turn if left open).
    void hangUpErrorsEndTheTransaction_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("ends");
        QTest::newRow("resource error") << int(QSerialPort::ResourceError) << true;
        QTest::newRow("read error") << int(QSerialPort::ReadError) << true;
        QTest::newRow("time-out") << int(QSerialPort::TimeoutError) << false;
        QTest::newRow("unsupported setting") << int(QSerialPort::UnsupportedOperationError) << false;
    }
    void hangUpErrorsEndTheTransaction()
    {
        QFETCH(int, error);
        QFETCH(bool, ends);
        ScriptedMessageBox boxes;
        PtyPair pty;
        CommTasker engine;
        openSerial(engine, pty);
        Receiver r;
        Receiver timeoutReceiver;
        engine.SetupTimeoutTask(&timeoutReceiver, "OnTimeout");
        engine.ExecQueryTask(":CHAN1:MEAS:VOLT?", 5, &r, "Text", 4, false);
        QTRY_VERIFY(pty.received().endsWith("?\r\n"));
        emit engine.MSComm1.errorOccurred(static_cast<QSerialPort::SerialPortError>(error));
        QCOMPARE(timeoutReceiver.timeouts, ends ? 1 : 0);
        QCOMPARE(engine.MSComm1.isOpen(), !ends);
        QCOMPARE(engine.IsQueryPending, !ends);
        QVERIFY(boxes.shown().isEmpty());
    }

    void gpibWriteReadSequence()
    {
        TraceRecorder trace;
        CommTasker engine;
        FakeGpibDevice gpib;
        engine.setGpibDevice(&gpib);
        engine.CommType = "GPIB";
        gpib.replies["*IDN?"] = "QV Instruments,KMA-3303T,SN1,1.0"; // ended by EOI only
        Receiver r;
        engine.ExecCmdTask(":OUTP:STAT 1", 0, &engine, "", 1, false);
        QTRY_COMPARE(engine.CmdTaskCount, 0);
        QTRY_COMPARE(engine.opMode(), 0);
        QCOMPARE(gpib.reads, 0); // a command starts no read

        engine.ExecQueryTask("*IDN?", 5, &r, "TakeReply", 1, false);
        QTRY_COMPARE(r.calls, QStringList{"QV Instruments,KMA-3303T,SN1,1.0"});
        QCOMPARE(gpib.written, (QByteArrayList{":OUTP:STAT 1", "*IDN?"}));
        QCOMPARE(gpib.reads, 1);
        const int complete = static_cast<int>(trace.lines.lastIndexOf("GPIB WriteComplete"));
        const int readAsync = static_cast<int>(trace.lines.lastIndexOf("GPIB ReadAsync"));
        const int dataRead = static_cast<int>(trace.lines.lastIndexOf("GPIB DataRead"));
        QVERIFY(complete >= 0 && complete < readAsync && readAsync < dataRead);
    }

    void gpibErrorEndsInTimeout()
    {
        CommTasker engine;
        FakeGpibDevice gpib;
        engine.setGpibDevice(&gpib);
        engine.CommType = "GPIB";
        Receiver r;
        Receiver timeoutReceiver;
        engine.SetupTimeoutTask(&timeoutReceiver, "OnTimeout");
        gpib.failNextWrite = true;
        engine.ExecQueryTask(":CHAN1:MEAS:VOLT?", 5, &r, "Text", 4, false);
        engine.ExecQueryTask(":CHAN1:MEAS:CURR?", 5, &r, "Text", 4, false);
        QTRY_COMPARE(timeoutReceiver.timeouts, 1);
        QCOMPARE(engine.QueryTaskCount, 0);
        QCOMPARE(engine.opMode(), 0);
        QVERIFY(gpib.resets >= 1);
        QVERIFY(r.texts.isEmpty());
    }

    void devTimerHandsOverOnce()
    {
        FakeHost host;
        CommTasker engine;
        engine.setHost(&host);
        engine.DevTimer.start();
        QTRY_COMPARE(host.machineType2Calls, 1);
        QTest::qWait(250);
        QCOMPARE(host.machineType2Calls, 1);
        QVERIFY(!engine.DevTimer.isActive());
    }
};

QTEST_GUILESS_MAIN(TestTransports)
#include "tst_transports.moc"
