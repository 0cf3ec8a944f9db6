// The electrical behaviour: CV/CC crossover into a resistive load,
// protection trips and their clearing, track and parallel coupling, and the
// read-back noise.
#include "ElectricalModel.h"
#include "MeasurementNoise.h"
#include "PowerSupply.h"
#include "SimTestSupport.h"

#include <QTest>

#include <cmath>

using namespace psusim;
using namespace simtest;

namespace {
const ModelInfo &model(const char *name)
{
    return *findModel(QString::fromLatin1(name));
}
} // namespace

class TestSimElectrical : public QObject {
    Q_OBJECT
private slots:
    void crossover_data();
    void crossover();
    void overVoltageTrip();
    void overCurrentTrip();
    void tripLatchesUntilCleared();
    void trackCoupling();
    void parallelCoupling();
    void couplingNeedsTwoOutputs();
    void thirdOutputStaysIndependent();
    void frontPanelChangesShowInQueries();
    void noiseIsSeededAndBounded();
};

void TestSimElectrical::crossover_data()
{
    QTest::addColumn<double>("voltSet");
    QTest::addColumn<double>("currLimit");
    QTest::addColumn<double>("ohms");
    QTest::addColumn<double>("volt");
    QTest::addColumn<double>("curr");
    QTest::addColumn<bool>("cc");

    QTest::newRow("CV well below the limit") << 12.0 << 3.0 << 10.0 << 12.0 << 1.2 << false;
    QTest::newRow("exactly at the limit stays CV") << 30.0 << 3.0 << 10.0 << 30.0 << 3.0 << false;
    QTest::newRow("just over the limit is CC") << 30.0 << 2.9 << 10.0 << 29.0 << 2.9 << true;
    QTest::newRow("CC into a low load") << 12.0 << 1.0 << 2.0 << 2.0 << 1.0 << true;
    QTest::newRow("open circuit") << 12.0 << 1.0 << kOpenCircuit << 12.0 << 0.0 << false;
    QTest::newRow("short circuit") << 12.0 << 1.5 << 0.0 << 0.0 << 1.5 << true;
    QTest::newRow("zero volts") << 0.0 << 1.0 << 10.0 << 0.0 << 0.0 << false;
    QTest::newRow("zero current limit") << 5.0 << 0.0 << 10.0 << 0.0 << 0.0 << true;
}

void TestSimElectrical::crossover()
{
    QFETCH(double, voltSet);
    QFETCH(double, currLimit);
    QFETCH(double, ohms);
    QFETCH(double, volt);
    QFETCH(double, curr);
    QFETCH(bool, cc);

    const OperatingPoint point = solveOutput(voltSet, currLimit, ohms);
    QCOMPARE(point.volt, volt);
    QCOMPARE(point.curr, curr);
    QCOMPARE(point.constantCurrent, cc);

    // The same through the whole instrument, output on.
    PowerSupply supply(model("KMA-3005"));
    QCOMPARE(supply.setLoad(1, ohms), SetResult::Ok);
    QCOMPARE(supply.setVoltage(1, voltSet), SetResult::Ok);
    QCOMPARE(supply.setCurrent(1, currLimit), SetResult::Ok);
    supply.setOutput(true);
    QVERIFY(supply.outputOn());
    QCOMPARE(supply.reading(1).volt, volt);
    QCOMPARE(supply.reading(1).curr, curr);
    supply.setOutput(false);
    QCOMPARE(supply.reading(1).volt, 0.0);
    QCOMPARE(supply.reading(1).curr, 0.0);
}

void TestSimElectrical::overVoltageTrip()
{
    PowerSupply supply(model("KMA-3303T"));
    supply.setOvp(1, 10);
    supply.setVoltage(1, 9.5);
    supply.setOutput(true);
    QVERIFY(supply.outputOn());
    QCOMPARE(supply.trip(1), Trip::None);

    // Raising the set point above the level trips the output off.
    supply.setVoltage(1, 10.5);
    QVERIFY(!supply.outputOn());
    QCOMPARE(supply.trip(1), Trip::OverVoltage);
    QCOMPARE(supply.trip(2), Trip::None);
    QCOMPARE(supply.reading(1).volt, 0.0);

    // In CC the terminal voltage is lower, so the same set point does not trip.
    supply.clearProtection();
    supply.setCurrent(1, 0.5); // 10.5 V into 10 ohm would need 1.05 A: CC at 5 V
    supply.setOutput(true);
    QVERIFY(supply.outputOn());
    QCOMPARE(supply.reading(1).volt, 5.0);

    // Lowering the level below the present voltage trips too.
    supply.setOvp(1, 4);
    QVERIFY(!supply.outputOn());
    QCOMPARE(supply.trip(1), Trip::OverVoltage);
}

void TestSimElectrical::overCurrentTrip()
{
    PowerSupply supply(model("KMA-3303T"));
    supply.setVoltage(2, 12);
    supply.setCurrent(2, 2);
    supply.setOcp(2, true);
    supply.setOutput(true);
    QVERIFY(supply.outputOn()); // 1.2 A, CV

    // A heavier load pushes the output into CC: with OCP on it trips.
    supply.setLoad(2, 4);
    QVERIFY(!supply.outputOn());
    QCOMPARE(supply.trip(2), Trip::OverCurrent);

    // Without OCP the same load just runs in CC.
    supply.clearProtection();
    supply.setOcp(2, false);
    supply.setOutput(true);
    QVERIFY(supply.outputOn());
    QVERIFY(supply.reading(2).constantCurrent);
    QCOMPARE(supply.reading(2).curr, 2.0);
}

void TestSimElectrical::tripLatchesUntilCleared()
{
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 12", ":CHAN1:PROT:VOLT 11", ":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("0"));
    // Lower the voltage: the trip stays latched, the output cannot come on.
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 5", ":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("0"));
    QCOMPARE(ask(*instrument, ":CHAN1:MEAS:VOLT?"), QByteArray("0.000"));
    QVERIFY(sendAll(*instrument, {":OUTP:PROT:CLE", ":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("1"));
    QCOMPARE(ask(*instrument, ":CHAN1:MEAS:VOLT?"), QByteArray("5.000"));

    // A forced trip (control channel) behaves the same.
    instrument->supply().forceTrip(3, Trip::OverCurrent);
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("0"));
    QVERIFY(sendAll(*instrument, {":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("0"));
    QVERIFY(sendAll(*instrument, {":OUTP:PROT:CLE", ":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("1"));
}

void TestSimElectrical::trackCoupling()
{
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 8", ":CHAN2:VOLT 3", ":CHAN2:CURR 0.5", ":OUTP:COUP:TRAC 1"}));
    // Entering track copies channel 1's voltage; currents stay separate.
    QCOMPARE(ask(*instrument, ":CHAN2:VOLT?"), QByteArray("8.000"));
    QCOMPARE(ask(*instrument, ":CHAN2:CURR?"), QByteArray("0.500"));
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 12", ":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":CHAN2:VOLT?"), QByteArray("12.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:MEAS:VOLT?"), QByteArray("12.000"));
    // Channel 2 limits itself: 12 V into 10 ohm would be 1.2 A.
    QCOMPARE(ask(*instrument, ":CHAN2:MEAS:CURR?"), QByteArray("0.500"));
    QCOMPARE(ask(*instrument, ":CHAN2:MEAS:VOLT?"), QByteArray("5.000"));
    // Setting channel 2 moves the pair as well.
    QVERIFY(sendAll(*instrument, {":CHAN2:VOLT 4"}));
    QCOMPARE(ask(*instrument, ":CHAN1:VOLT?"), QByteArray("4.000"));
    // Back to independent: the outputs separate again.
    QVERIFY(sendAll(*instrument, {":OUTP:COUP:TRAC 0", ":CHAN1:VOLT 6"}));
    QCOMPARE(ask(*instrument, ":CHAN2:VOLT?"), QByteArray("4.000"));
}

void TestSimElectrical::parallelCoupling()
{
    auto instrument = makeInstrument();
    // 20 V into 5 ohm needs 4 A: beyond one output's 3 A, within two.
    instrument->supply().setLoad(1, 5);
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 20", ":CHAN1:CURR 2.5", ":OUTP:COUP:TRAC 2", ":OUTP:STAT 1"}));
    QCOMPARE(ask(*instrument, ":CHAN2:VOLT?"), QByteArray("20.000"));
    QCOMPARE(ask(*instrument, ":CHAN2:CURR?"), QByteArray("2.500"));
    QCOMPARE(ask(*instrument, ":CHAN1:MEAS:VOLT?"), QByteArray("20.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:MEAS:CURR?"), QByteArray("2.000"));
    QCOMPARE(ask(*instrument, ":CHAN2:MEAS:VOLT?"), QByteArray("20.000"));
    QCOMPARE(ask(*instrument, ":CHAN2:MEAS:CURR?"), QByteArray("2.000"));

    // Twice the limit: 2 x 1.5 A into 5 ohm gives CC at 15 V, 1.5 A each.
    QVERIFY(sendAll(*instrument, {":CHAN1:CURR 1.5"}));
    QCOMPARE(ask(*instrument, ":CHAN1:MEAS:VOLT?"), QByteArray("15.000"));
    QCOMPARE(ask(*instrument, ":CHAN2:MEAS:CURR?"), QByteArray("1.500"));
    QVERIFY(instrument->supply().reading(2).constantCurrent);

    // Channel 2's own load plays no part while paralleled.
    instrument->supply().setLoad(2, kOpenCircuit);
    QCOMPARE(ask(*instrument, ":CHAN2:MEAS:CURR?"), QByteArray("1.500"));
    // Channel 3 is untouched.
    QCOMPARE(ask(*instrument, ":CHAN3:VOLT?"), QByteArray("0.000"));
}

void TestSimElectrical::couplingNeedsTwoOutputs()
{
    PowerSupply single(model("KMB-6001"));
    QCOMPARE(single.setCoupling(Coupling::Parallel), SetResult::Conflict);
    QCOMPARE(single.coupling(), Coupling::Independent);
    QCOMPARE(single.setCoupling(Coupling::Independent), SetResult::Ok);

    PowerSupply legacy(model("QLE-5505"));
    QCOMPARE(legacy.setCoupling(Coupling::Track), SetResult::Ok);
}

void TestSimElectrical::thirdOutputStaysIndependent()
{
    PowerSupply supply(model("KMA-3303T"));
    supply.setCoupling(Coupling::Track);
    supply.setVoltage(1, 10);
    supply.setVoltage(3, 3.3);
    QCOMPARE(supply.settings(2).volt, 10.0);
    QCOMPARE(supply.settings(3).volt, 3.3);
    // Setting the follower moves the leader as well.
    QCOMPARE(supply.setVoltage(2, 30), SetResult::Ok);
    QCOMPARE(supply.settings(1).volt, 30.0);
}

void TestSimElectrical::frontPanelChangesShowInQueries()
{
    auto instrument = makeInstrument();
    instrument->supply().setVoltage(2, 17.5);
    instrument->supply().setCurrent(2, 0.75);
    instrument->supply().setOvp(2, 25);
    instrument->supply().setOutput(true);
    instrument->supply().setCoupling(Coupling::Parallel);
    QCOMPARE(ask(*instrument, ":CHAN2:CURR?"), QByteArray("3.000")); // parallel copies channel 1's current
    QCOMPARE(ask(*instrument, ":CHAN2:PROT:VOLT?"), QByteArray("25.000"));
    QCOMPARE(ask(*instrument, ":OUTP:STAT?"), QByteArray("1"));
    QCOMPARE(ask(*instrument, ":OUTP:COUP:TRAC?"), QByteArray("2"));
}

void TestSimElectrical::noiseIsSeededAndBounded()
{
    MeasurementNoise a(7);
    MeasurementNoise b(7);
    MeasurementNoise c(8);
    bool differs = false;
    bool anyNoise = false;
    for (int i = 0; i < 200; ++i) {
        const double va = a.voltage(12);
        QCOMPARE(va, b.voltage(12));
        differs = differs || c.voltage(12) != va;
        anyNoise = anyNoise || va != 12;
        QVERIFY(std::fabs(va - 12) <= MeasurementNoise::kDefaultVoltAmplitude);
        const double ia = a.current(1);
        QCOMPARE(ia, b.current(1));
        QVERIFY(std::fabs(ia - 1) <= MeasurementNoise::kDefaultCurrAmplitude);
        QVERIFY(a.current(0) >= 0); // no negative readings at zero
        b.current(0);
    }
    QVERIFY(anyNoise);
    QVERIFY(differs);

    MeasurementNoise none(1, 0, 0);
    QCOMPARE(none.voltage(12.3456), 12.3456);
}

QTEST_GUILESS_MAIN(TestSimElectrical)
#include "tst_sim_electrical.moc"
