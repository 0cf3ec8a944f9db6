// The wire side of the simulator: input line splitting, reply terminators,
// latency, every injected fault and the transcript.
#include "FakeLink.h"
#include "FaultInjector.h"
#include "Frontend.h"
#include "LineSplitter.h"
#include "MonotonicClock.h"
#include "Session.h"
#include "SimTestSupport.h"
#include "Transcript.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace psusim;
using namespace simtest;

namespace {
const QByteArray kIdn = "QV Instruments,KMA-3303T,SN000123,1.0";

// One instrument directly on a fake wire.
struct Rig {
    explicit Rig(int latencyMs = 0)
        : instrument(makeInstrument()), frontend(*instrument, latencyMs), transcript(clock),
          session(link, frontend, faults, clock, transcript)
    {
    }
    bool fault(const QString &faultText) { return faults.apply(faultText).isEmpty(); }
    // Sends the lines and waits until the output queue has nothing left.
    void send(const QByteArray &bytes)
    {
        link.send(bytes);
        QTRY_VERIFY_WITH_TIMEOUT(session.output().isIdle(), 5000);
    }

    FakeLink link;
    MonotonicClock clock;
    std::unique_ptr<Instrument> instrument;
    DirectFrontend frontend;
    FaultInjector faults;
    Transcript transcript;
    Session session;
};
} // namespace

class TestSimSession : public QObject {
    Q_OBJECT
private slots:
    void lineSplitting_data();
    void lineSplitting();
    void terminators_data();
    void terminators();
    void replyShapes_data();
    void replyShapes();
    void faultTextsRejected_data();
    void faultTextsRejected();
    void floodFiresOnce();
    void garbageReplacesTheReply();
    void noReplyAfterCount();
    void delaysAndLatency();
    void splitReply();
    void disconnectAfterCount();
    void faultClear();
    void peerLossDropsPendingOutput();
    void transcriptLines();
};

void TestSimSession::lineSplitting_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("lines");

    using L = QList<QByteArray>;
    QTest::newRow("CR LF") << L{"*IDN?\r\n"} << L{"*IDN?"};
    QTest::newRow("LF") << L{"A\nB\n"} << L{"A", "B"};
    QTest::newRow("CR") << L{"A\rB\r"} << L{"A", "B"};
    QTest::newRow("CR LF split between reads") << L{"A\r", "\nB\r\n"} << L{"A", "B"};
    QTest::newRow("line split between reads") << L{":CHAN1:", "VOLT 1", "2.5\r\n"} << L{":CHAN1:VOLT 12.5"};
    QTest::newRow("empty lines dropped") << L{"\r\n\r\n\n\rX\n"} << L{"X"};
    QTest::newRow("LF CR is two ends") << L{"A\n\rB\n"} << L{"A", "B"};
    QTest::newRow("unterminated tail waits") << L{"A\nB"} << L{"A"};
}

void TestSimSession::lineSplitting()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, lines);
    LineSplitter splitter;
    QList<QByteArray> got;
    for (const QByteArray &chunk : chunks)
        got += splitter.feed(chunk);
    QCOMPARE(got, lines);
}

void TestSimSession::terminators_data()
{
    QTest::addColumn<QByteArray>("terminator");
    QTest::newRow("lf") << QByteArray("\n");
    QTest::newRow("crlf") << QByteArray("\r\n");
    QTest::newRow("cr") << QByteArray("\r");
}

void TestSimSession::terminators()
{
    QFETCH(QByteArray, terminator);
    Rig rig;
    rig.session.setTerminator(terminator);
    rig.send("*IDN?\r\n:OUTP:STAT?\r\n");
    QCOMPARE(rig.link.written, kIdn + terminator + "0" + terminator);
}

void TestSimSession::replyShapes_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("no fault") << QStringList{} << QByteArray("*IDN?\r\n") << kIdn + "\n";
    QTest::newRow("set commands answer nothing")
        << QStringList{} << QByteArray(":CHAN1:VOLT 1\r\n:BAD\r\n") << QByteArray();
    QTest::newRow("noreply to that command")
        << QStringList{"noreply *idn?"} << QByteArray("*IDN?\r\n:OUTP:STAT?\r\n") << QByteArray("0\n");
    QTest::newRow("noreply compares case-insensitively")
        << QStringList{"noreply :chan1:meas:volt?"} << QByteArray(":CHAN1:MEAS:VOLT?\r\n*IDN?\r\n") << kIdn + "\n";
    QTest::newRow("noterm") << QStringList{"noterm"} << QByteArray(":OUTP:STAT?\r\n:OUTP:STAT?\r\n")
                            << QByteArray("00");
    QTest::newRow("noterm off again") << QStringList{"noterm", "noterm off"} << QByteArray(":OUTP:STAT?\r\n")
                                      << QByteArray("0\n");
    QTest::newRow("extra lines after the reply")
        << QStringList{"extra 2"} << QByteArray(":OUTP:STAT?\r\n") << QByteArray("0\nUNSOLICITED 1\nUNSOLICITED 2\n");
    QTest::newRow("bit line before the reply")
        << QStringList{"bit"} << QByteArray(":OUTP:STAT?\r\n") << QByteArray("Data bits: 8\n0\n");
    QTest::newRow("flood before the reply")
        << QStringList{"flood 3"} << QByteArray(":OUTP:STAT?\r\n") << QByteArray("FLOOD 1\nFLOOD 2\nFLOOD 3\n0\n");
    QTest::newRow("faults combine") << QStringList{"bit", "noterm", "extra 1"} << QByteArray(":OUTP:STAT?\r\n")
                                    << QByteArray("Data bits: 8\n0UNSOLICITED 1\n");
}

void TestSimSession::replyShapes()
{
    QFETCH(QStringList, faults);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    Rig rig;
    for (const QString &faultText : faults)
        QVERIFY2(rig.fault(faultText), qPrintable(faultText));
    rig.send(input);
    QCOMPARE(rig.link.written, output);
}

void TestSimSession::faultTextsRejected_data()
{
    QTest::addColumn<QString>("faultText");
    QTest::newRow("unknown") << "explode";
    QTest::newRow("empty") << "";
    QTest::newRow("noreply without text") << "noreply";
    QTest::newRow("delay without value") << "delay";
    QTest::newRow("negative delay") << "delay -5";
    QTest::newRow("delay not a number") << "delay soon";
    QTest::newRow("split without pause") << "split 3";
    QTest::newRow("split into 0") << "split 0 10";
    QTest::newRow("disconnect 0") << "disconnect 0";
    QTest::newRow("garbage with a count") << "garbage 5";
    QTest::newRow("extra twice") << "extra 1 2";
}

void TestSimSession::faultTextsRejected()
{
    QFETCH(QString, faultText);
    FaultInjector faults;
    QVERIFY(!faults.apply(faultText).isEmpty());
    QCOMPARE(faults.describe(), QStringLiteral("none"));
}

void TestSimSession::floodFiresOnce()
{
    Rig rig;
    QVERIFY(rig.fault("flood 2"));
    rig.send(":OUTP:STAT?\r\n:OUTP:STAT?\r\n");
    QCOMPARE(rig.link.written, QByteArray("FLOOD 1\nFLOOD 2\n0\n0\n"));
}

void TestSimSession::garbageReplacesTheReply()
{
    Rig rig;
    QVERIFY(rig.fault("garbage"));
    rig.send("*IDN?\r\n");
    const QByteArray out = rig.link.written;
    QCOMPARE(out.size(), kIdn.size() + 1);
    QVERIFY(out.endsWith('\n'));
    for (qsizetype i = 0; i + 1 < out.size(); ++i)
        QVERIFY2(static_cast<unsigned char>(out[i]) >= 0x80, "garbage must not look like text");
    QVERIFY(!out.contains('\r'));
}

void TestSimSession::noReplyAfterCount()
{
    Rig rig;
    rig.send(":OUTP:STAT?\r\n"); // counted before the fault is set: no effect
    QVERIFY(rig.fault("noreply-after 2"));
    rig.send(":OUTP:STAT?\r\n:CHAN1:VOLT 4\r\n:CHAN1:VOLT?\r\n*IDN?\r\n");
    QCOMPARE(rig.link.written, QByteArray("0\n0\n"));
    // Commands still work; only the answers are gone.
    QCOMPARE(rig.instrument->supply().settings(1).volt, 4.0);
}

void TestSimSession::delaysAndLatency()
{
    Rig rig(100);
    QVERIFY(rig.fault("idn-late 200"));
    const qint64 t0 = rig.link.elapsed();
    rig.send("*IDN?\r\n");
    QCOMPARE(rig.link.chunks.size(), 1);
    const qint64 idnAt = rig.link.chunks.at(0).atMs - t0;
    QVERIFY2(idnAt >= 299, qPrintable(QString::number(idnAt)));

    const qint64 t1 = rig.link.elapsed();
    rig.send(":OUTP:STAT?\r\n");
    const qint64 queryAt = rig.link.chunks.at(1).atMs - t1;
    QVERIFY2(queryAt >= 99 && queryAt < 250, qPrintable(QString::number(queryAt)));

    QVERIFY(rig.fault("delay 150"));
    const qint64 t2 = rig.link.elapsed();
    rig.send(":OUTP:STAT?\r\n");
    const qint64 delayedAt = rig.link.chunks.at(2).atMs - t2;
    QVERIFY2(delayedAt >= 249, qPrintable(QString::number(delayedAt)));
}

void TestSimSession::splitReply()
{
    Rig rig;
    QVERIFY(rig.fault("split 3 60"));
    rig.send("*IDN?\r\n");
    QCOMPARE(rig.link.written, kIdn + "\n");
    QCOMPARE(rig.link.chunks.size(), 3);
    for (int i = 1; i < 3; ++i) {
        const qint64 pause = rig.link.chunks.at(i).atMs - rig.link.chunks.at(i - 1).atMs;
        QVERIFY2(pause >= 59, qPrintable(QString::number(pause)));
        QVERIFY(!rig.link.chunks.at(i).bytes.isEmpty());
    }
    QVERIFY(!rig.link.chunks.at(0).bytes.endsWith('\n'));
}

void TestSimSession::disconnectAfterCount()
{
    Rig rig;
    QVERIFY(rig.fault("disconnect 2"));
    rig.send(":OUTP:STAT?\r\n");
    QCOMPARE(rig.link.drops, 0);
    rig.send("*IDN?\r\n");
    // The second command's reply still goes out, then the line drops.
    QCOMPARE(rig.link.drops, 1);
    QCOMPARE(rig.link.written, "0\n" + kIdn + "\n");
    rig.link.setPeer(true);
    rig.send(":OUTP:STAT?\r\n:OUTP:STAT?\r\n:OUTP:STAT?\r\n");
    QCOMPARE(rig.link.drops, 1);
}

void TestSimSession::faultClear()
{
    Rig rig;
    QVERIFY(rig.fault("noreply *IDN?"));
    QVERIFY(rig.fault("noterm"));
    QVERIFY(rig.fault("delay 10"));
    QVERIFY(rig.fault("clear"));
    QCOMPARE(rig.faults.describe(), QStringLiteral("none"));
    rig.send("*IDN?\r\n");
    QCOMPARE(rig.link.written, kIdn + "\n");
}

void TestSimSession::peerLossDropsPendingOutput()
{
    Rig rig;
    QVERIFY(rig.fault("delay 150"));
    rig.link.send("*IDN?\r\n:OUTP:STAT?\r\n");
    rig.link.setPeer(false);
    QVERIFY(rig.session.output().isIdle());
    QTest::qWait(250);
    QCOMPARE(rig.link.written, QByteArray());
    // Half a line from the old peer must not merge with the next one's.
    rig.link.setPeer(true);
    rig.link.send("*ID");
    rig.link.setPeer(false);
    rig.link.setPeer(true);
    QVERIFY(rig.fault("clear"));
    rig.send(":OUTP:STAT?\r\n");
    QCOMPARE(rig.link.written, QByteArray("0\n"));
}

void TestSimSession::transcriptLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("transcript.txt"));
    Rig rig;
    QVERIFY(rig.transcript.open(path, nullptr));
    rig.send("*IDN?\r\n:CHAN1:VOLT 2\r\n");
    QVERIFY(rig.fault("garbage"));
    rig.send(":OUTP:STAT?\r\n");

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 7); // six lines and the empty rest after the last newline
    const QRegularExpression form(QStringLiteral("^(\\d+) ([<>#]) (.*)$"));
    QList<QByteArray> bodies;
    qint64 previous = 0;
    for (int i = 0; i < 6; ++i) {
        const auto m = form.match(QString::fromLatin1(lines.at(i)));
        QVERIFY2(m.hasMatch(), lines.at(i).constData());
        QVERIFY(m.captured(1).toLongLong() >= previous);
        previous = m.captured(1).toLongLong();
        bodies << (m.captured(2) + QLatin1Char(' ') + m.captured(3)).toLatin1();
    }
    QCOMPARE(bodies.at(0), QByteArray("< *IDN?"));
    QCOMPARE(bodies.at(1), "> " + kIdn);
    QCOMPARE(bodies.at(2), QByteArray("< :CHAN1:VOLT 2"));
    QCOMPARE(bodies.at(3), QByteArray("< :OUTP:STAT?"));
    QCOMPARE(bodies.at(4), QByteArray("# fault garbage instead of '0'"));
    QVERIFY2(QRegularExpression(QStringLiteral("^> \\\\x[89a-f][0-9a-f]$"))
                 .match(QString::fromLatin1(bodies.at(5)))
                 .hasMatch(),
             bodies.at(5).constData());
}

QTEST_GUILESS_MAIN(TestSimSession)
#include "tst_sim_session.moc"
