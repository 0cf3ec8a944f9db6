#include "comm/ResponseRing.h"
#include "TraceRecorder.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

class TestResponseRing : public QObject {
    Q_OBJECT

private slots:
    void splitsLines_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("pending");
        QTest::newRow("LF") << QStringList{"1.234\n"} << QStringList{"1.234"} << "";
        QTest::newRow("split chunk") << QStringList{"1.2", "34\n"} << QStringList{"1.234"} << "";
        QTest::newRow("bit dropped") << QStringList{"8bit\n"} << QStringList{} << "";
        QTest::newRow("Bit kept") << QStringList{"8Bit\n"} << QStringList{"8Bit"} << "";
        QTest::newRow("CR LF alone") << QStringList{"\r\n"} << QStringList{""} << "";
        QTest::newRow("CR LF reply") << QStringList{"12.000\r\n"} << QStringList{"12.000"} << "";
        QTest::newRow("LF CR reply") << QStringList{"12.000\n\r"} << QStringList{"12.000"} << "";
        QTest::newRow("CR LF across chunks") << QStringList{"a\r", "\nb\r\n"} << QStringList{"a", "b"} << "";
        QTest::newRow("lone CR") << QStringList{"a\rb\r"} << QStringList{"a", "b"} << "";
        QTest::newRow("two CR") << QStringList{"\r\r"} << QStringList{"", ""} << "";
        QTest::newRow("blank line after CR LF") << QStringList{"x\r\n\r\n"} << QStringList{"x", ""} << "";
        QTest::newRow("no line end") << QStringList{"0,\"No error\""} << QStringList{} << "0,\"No error\"";
        QTest::newRow("tail waits") << QStringList{"1\n2"} << QStringList{"1"} << "2";
    }
    void splitsLines()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QStringList, lines);
        QFETCH(QString, pending);
        TraceRecorder trace;
        ResponseRing ring;
        for (const QString &chunk : chunks)
            ring.RspTask(chunk);
        QCOMPARE(ring.RspCount(), lines.size());
        QCOMPARE(trace.lines.filter("RspPush").size(), lines.size());
        for (const QString &line : lines)
            QVERIFY2(trace.contains("RspPush '" + line + "'"), qPrintable(line));
        QCOMPARE(ring.RspLine(), pending);
    }

    void popReturnsTheNewestAndEmptiesTheStore()
    {
        TraceRecorder trace;
        ResponseRing ring;
        ring.RspPush("A");
        ring.RspPush("B");
        ring.RspPush("C");
        QCOMPARE(ring.RspPop(), QString("C"));
        QCOMPARE(ring.RspCount(), 0);
        QVERIFY(trace.contains("RspPop 'C'"));
        ring.RspPush("D");
        QCOMPARE(ring.RspPop(), QString("D"));
    }

    void the201stPushIsDropped()
    {
        TraceRecorder trace;
        ResponseRing ring;
        for (int i = 0; i < 200; ++i)
            ring.RspPush(QString::number(i));
        QVERIFY(!trace.contains("Rsp overflow"));
        ring.RspPush("200");
        QCOMPARE(ring.RspCount(), 200);
        QCOMPARE(trace.count("Rsp overflow"), 1);
        QCOMPARE(ring.RspPop(), QString("199"));
    }

    // A reset keeps an unended line; a new link drops it, and a CR waiting
    // for its LF partner with it.
    void newLinkDropsThePartLine()
    {
        ResponseRing ring;
        ring.RspTask("QV Instruments,QLE-5505");
        ring.ResetRspArray();
        QCOMPARE(ring.RspLine(), QString("QV Instruments,QLE-5505"));
        ring.RspTask("x\r");
        QCOMPARE(ring.RspPop(), QString("QV Instruments,QLE-5505x"));
        ring.RspTask("part");
        ring.discardPartialLine();
        ring.RspTask("\nQV Instruments,KMA-3303T\n");
        QCOMPARE(ring.RspCount(), 2);
        QCOMPARE(ring.RspPop(), QString("QV Instruments,KMA-3303T"));
        QCOMPARE(ring.RspPop(), QString(""));
    }
};

QTEST_GUILESS_MAIN(TestResponseRing)
#include "tst_responsering.moc"
