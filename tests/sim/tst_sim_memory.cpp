// Setting memories and the auto-run sequencer.
#include "SimTestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace psusim;
using namespace simtest;

namespace {
constexpr int kUnitMs = 20; // one auto-run delay unit, shortened for the test
}

class TestSimMemory : public QObject {
    Q_OBJECT
private slots:
    void storeAndRecallEverySetting();
    void memoriesAreIndependent();
    void recallKeepsCouplingRules();
    void autoRunSteps_data();
    void autoRunSteps();
    void autoRunTiming();
    void autoRunForeverUntilStopped();
    void autoRunOnLegacyModel();
};

void TestSimMemory::storeAndRecallEverySetting()
{
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {"*SAV 9"})); // power-on values
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 1.5", ":CHAN1:CURR 0.25", ":CHAN1:PROT:VOLT 12", ":CHAN1:PROT:CURR 1",
                                  ":CHAN3:VOLT 4.5", "*SAV 3"}));
    // A reset returns to power-on settings but keeps the memories.
    QVERIFY(sendAll(*instrument, {"*RST"}));
    QCOMPARE(ask(*instrument, ":CHAN1:VOLT?"), QByteArray("0.000"));
    QVERIFY(sendAll(*instrument, {"*RCL 3"}));
    QCOMPARE(ask(*instrument, ":SYST:MEM?"), QByteArray("3"));
    QCOMPARE(ask(*instrument, ":CHAN1:VOLT?"), QByteArray("1.500"));
    QCOMPARE(ask(*instrument, ":CHAN1:CURR?"), QByteArray("0.250"));
    QCOMPARE(ask(*instrument, ":CHAN1:PROT:VOLT?"), QByteArray("12.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:PROT:CURR?"), QByteArray("1"));
    QCOMPARE(ask(*instrument, ":CHAN3:VOLT?"), QByteArray("4.500"));
    QVERIFY(sendAll(*instrument, {"*RCL 9"}));
    QCOMPARE(ask(*instrument, ":SYST:MEM?"), QByteArray("9"));
    QCOMPARE(ask(*instrument, ":CHAN1:VOLT?"), QByteArray("0.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:CURR?"), QByteArray("3.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:PROT:CURR?"), QByteArray("0"));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("0,\"No error\""));
}

void TestSimMemory::memoriesAreIndependent()
{
    auto instrument = makeInstrument();
    for (int n = 0; n <= 9; ++n)
        QVERIFY(sendAll(*instrument, {QStringLiteral(":CHAN2:VOLT %1").arg(n + 1), QStringLiteral("*SAV %1").arg(n)}));
    for (int n : {5, 0, 9, 2}) {
        QVERIFY(sendAll(*instrument, {QStringLiteral("*RCL %1").arg(n)}));
        QCOMPARE(ask(*instrument, ":CHAN2:VOLT?"), QByteArray::number(n + 1) + ".000");
    }
}

void TestSimMemory::recallKeepsCouplingRules()
{
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 5", ":CHAN2:VOLT 9", "*SAV 1", ":OUTP:COUP:TRAC 1", "*RCL 1"}));
    // Recalled independently stored values, but channel 2 still tracks 1.
    QCOMPARE(ask(*instrument, ":CHAN2:VOLT?"), QByteArray("5.000"));
}

void TestSimMemory::autoRunSteps_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("cycles");
    QTest::addColumn<QList<int>>("recalls");

    QTest::newRow("one cycle upwards") << 1 << 3 << 1 << QList<int>{1, 2, 3};
    QTest::newRow("two cycles") << 2 << 3 << 2 << QList<int>{2, 3, 2, 3};
    QTest::newRow("downwards") << 4 << 2 << 1 << QList<int>{4, 3, 2};
    QTest::newRow("single memory, three cycles") << 7 << 7 << 3 << QList<int>{7, 7, 7};
}

void TestSimMemory::autoRunSteps()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, cycles);
    QFETCH(QList<int>, recalls);

    auto instrument = makeInstrument(QStringLiteral("KMA-3303T"), kUnitMs);
    for (int n = 0; n <= 9; ++n)
        QVERIFY(sendAll(*instrument, {QStringLiteral(":CHAN1:VOLT %1").arg(n), QStringLiteral("*SAV %1").arg(n)}));
    QVERIFY(sendAll(*instrument,
                    {QStringLiteral(":SYST:AUTO:STAR %1").arg(start), QStringLiteral(":SYST:AUTO:END %1").arg(end),
                     QStringLiteral(":SYST:AUTO:CYCL %1").arg(cycles), ":SYST:AUTO:DEL 1"}));
    QList<int> seen;
    QList<QByteArray> voltages;
    connect(&instrument->core().autoRun, &AutoRun::stepped, this, [&](int memory) {
        seen << memory;
        voltages << ask(*instrument, ":CHAN1:VOLT?");
    });
    QSignalSpy finished(&instrument->core().autoRun, &AutoRun::finished);

    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAT 1"}));
    QCOMPARE(ask(*instrument, ":SYST:AUTO:STAT?"), QByteArray("1"));
    QVERIFY(finished.wait(5000));
    QCOMPARE(seen, recalls);
    for (int i = 0; i < seen.size(); ++i)
        QCOMPARE(voltages.at(i), QByteArray::number(seen.at(i)) + ".000");
    QCOMPARE(ask(*instrument, ":SYST:AUTO:STAT?"), QByteArray("0"));
    QCOMPARE(ask(*instrument, ":SYST:MEM?"), QByteArray::number(recalls.last()));
}

void TestSimMemory::autoRunTiming()
{
    auto instrument = makeInstrument(QStringLiteral("KMA-3303T"), kUnitMs);
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAR 0", ":SYST:AUTO:END 2", ":SYST:AUTO:CYCL 1", ":SYST:AUTO:DEL 3"}));
    QElapsedTimer clock;
    QList<qint64> times;
    connect(&instrument->core().autoRun, &AutoRun::stepped, this, [&](int) { times << clock.elapsed(); });
    QSignalSpy finished(&instrument->core().autoRun, &AutoRun::finished);
    clock.start();
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAT 1"}));
    QVERIFY(finished.wait(5000));
    const qint64 total = clock.elapsed();

    // Steps at 0, 60 and 120 ms; the sequencer ends one delay after the last.
    const int step = 3 * kUnitMs;
    QCOMPARE(times.size(), 3);
    QVERIFY2(times.at(0) < step / 2, qPrintable(QString::number(times.at(0))));
    for (int i = 1; i < times.size(); ++i) {
        const qint64 gap = times.at(i) - times.at(i - 1);
        QVERIFY2(gap >= step - 2 && gap < step * 2, qPrintable(QStringLiteral("gap %1").arg(gap)));
    }
    QVERIFY2(total >= 3 * step - 2, qPrintable(QStringLiteral("total %1").arg(total)));
}

void TestSimMemory::autoRunForeverUntilStopped()
{
    auto instrument = makeInstrument(QStringLiteral("KMA-3303T"), kUnitMs);
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAR 1", ":SYST:AUTO:END 2", ":SYST:AUTO:CYCL 0", ":SYST:AUTO:DEL 0"}));
    QSignalSpy stepped(&instrument->core().autoRun, &AutoRun::stepped);
    QSignalSpy finished(&instrument->core().autoRun, &AutoRun::finished);
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAT 1"}));
    // Cycle count 0 goes on past any finite number of cycles.
    QTRY_VERIFY_WITH_TIMEOUT(stepped.size() >= 7, 5000);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(ask(*instrument, ":SYST:AUTO:STAT?"), QByteArray("1"));
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAT 0"}));
    const qsizetype count = stepped.size();
    QTest::qWait(4 * kUnitMs);
    QCOMPARE(stepped.size(), count);
    QCOMPARE(ask(*instrument, ":SYST:AUTO:STAT?"), QByteArray("0"));
}

void TestSimMemory::autoRunOnLegacyModel()
{
    auto instrument = makeInstrument(QStringLiteral("QLE-5505"), kUnitMs);
    QVERIFY(sendAll(*instrument, {"VSET1:1", "SAV1", "VSET1:2", "SAV2", "VSET1:9"}));
    // Legacy memories are 1..4: start 0 is refused and the old start kept.
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAR 0", ":SYST:AUTO:END 2", ":SYST:AUTO:CYCL 1", ":SYST:AUTO:DEL 1"}));
    QList<int> seen;
    connect(&instrument->core().autoRun, &AutoRun::stepped, this, [&](int memory) { seen << memory; });
    QSignalSpy finished(&instrument->core().autoRun, &AutoRun::finished);
    QVERIFY(sendAll(*instrument, {":SYST:AUTO:STAT 1"}));
    QVERIFY(finished.wait(5000));
    QCOMPARE(seen, (QList<int>{1, 2}));
    QCOMPARE(ask(*instrument, "VSET1?"), QByteArray("2.000V"));
}

QTEST_GUILESS_MAIN(TestSimMemory)
#include "tst_sim_memory.moc"
