#include "platform/CallByName.h"
#include "platform/Trace.h"
#include "Receiver.h"
#include "TraceRecorder.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

class TestCallByName : public QObject {
    Q_OBJECT

private slots:
    void deliversToRoutinesAndProperties()
    {
        Receiver r;
        QVERIFY(callByName(&r, "Text", CallSetProperty, "12.000"));
        QCOMPARE(r.text(), QString("12.000"));
        QVERIFY(callByName(&r, "TakeReply", CallMethod, "1"));
        QCOMPARE(r.calls, QStringList{"1"});
        QVERIFY(callByName(&r, "OnTimeout"));
        QCOMPARE(r.timeouts, 1);
    }

    void missingNamesAreTracedAndDropped()
    {
        TraceRecorder trace;
        Receiver r;
        QVERIFY(!callByName(&r, "Caption", CallSetProperty, "x"));
        QVERIFY(!r.property("Caption").isValid()); // no dynamic property created
        QVERIFY(!callByName(&r, "NoSuchRoutine", CallMethod, "x"));
        QVERIFY(!callByName(&r, "TakeReply")); // exists, but takes an argument
        QVERIFY(!callByName(&r, "Text", 7, "x"));
        QVERIFY(!callByName(nullptr, "Text", CallSetProperty, "x"));
        QCOMPARE(trace.lines.size(), 5);
        QVERIFY(r.texts.isEmpty());
        QVERIFY(r.calls.isEmpty());
    }

    void traceWithoutSinkDoesNothing()
    {
        setTraceSink(nullptr);
        QVERIFY(!isTraceOn());
        Trace(QString());
        Trace("ExecQueryTask:" + QString::number(3));
        TraceRecorder trace;
        QVERIFY(isTraceOn());
        Trace("x");
        QCOMPARE(trace.lines, QStringList{"x"});
    }
};

QTEST_GUILESS_MAIN(TestCallByName)
#include "tst_callbyname.moc"
