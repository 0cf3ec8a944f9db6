// The control channel: front-panel changes, loads, trips, faults and model
// switching, as typed by an operator or a test script.
#include "ControlInterpreter.h"
#include "FaultInjector.h"
#include "SimTestSupport.h"

#include <QTest>

using namespace psusim;
using namespace simtest;

class TestSimControl : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void quitAndStatus();
    void selectAddressesAnotherInstrument();
};

void TestSimControl::commands_data()
{
    QTest::addColumn<QStringList>("setup"); // instrument lines first
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("query"); // then asked of the instrument
    QTest::addColumn<QString>("reply");

    const QStringList on12{":CHAN1:VOLT 12", ":OUTP:STAT 1"};
    QTest::newRow("load in ohms") << on12 << "load 1 5"
                                  << "ok"
                                  << ":CHAN1:MEAS:CURR?"
                                  << "2.400";
    QTest::newRow("open load") << on12 << "load 1 open"
                               << "ok"
                               << ":CHAN1:MEAS:CURR?"
                               << "0.000";
    QTest::newRow("load makes CC") << on12 << "load 1 2"
                                   << "ok"
                                   << ":CHAN1:MEAS:VOLT?"
                                   << "6.000";
    QTest::newRow("load on a missing channel") << on12 << "load 4 5"
                                               << "error: no such channel"
                                               << ":CHAN1:MEAS:CURR?"
                                               << "1.200";
    QTest::newRow("negative load") << on12 << "load 1 -3"
                                   << "error: bad load '-3'"
                                   << ":CHAN1:MEAS:CURR?"
                                   << "1.200";
    QTest::newRow("front-panel voltage") << QStringList{} << "set volt 2 12.5"
                                         << "ok"
                                         << ":CHAN2:VOLT?"
                                         << "12.500";
    QTest::newRow("front-panel current") << QStringList{} << "set curr 3 0.5"
                                         << "ok"
                                         << ":CHAN3:CURR?"
                                         << "0.500";
    QTest::newRow("front-panel ovp") << QStringList{} << "set ovp 1 20"
                                     << "ok"
                                     << ":CHAN1:PROT:VOLT?"
                                     << "20.000";
    QTest::newRow("front-panel voltage out of range") << QStringList{} << "set volt 3 6"
                                                      << "error: value out of range"
                                                      << ":CHAN3:VOLT?"
                                                      << "0.000";
    QTest::newRow("set with a bad value") << QStringList{} << "set volt 1 x"
                                          << "error: bad value 'x'"
                                          << ":CHAN1:VOLT?"
                                          << "0.000";
    QTest::newRow("output on") << QStringList{} << "output on"
                               << "ok"
                               << ":OUTP:STAT?"
                               << "1";
    QTest::newRow("output off") << on12 << "output off"
                                << "ok"
                                << ":OUTP:STAT?"
                                << "0";
    QTest::newRow("output on while tripped")
        << QStringList{":CHAN1:PROT:VOLT 1", ":CHAN1:VOLT 2", ":OUTP:STAT 1"} << "output on"
        << "error: protection tripped; clear it first"
        << ":OUTP:STAT?"
        << "0";
    QTest::newRow("coupling track") << QStringList{} << "coupling track"
                                    << "ok"
                                    << ":OUTP:COUP:TRAC?"
                                    << "1";
    QTest::newRow("coupling parallel") << QStringList{} << "coupling parallel"
                                       << "ok"
                                       << ":OUTP:COUP:TRAC?"
                                       << "2";
    QTest::newRow("coupling unknown") << QStringList{} << "coupling sideways"
                                      << "error: usage: coupling indep|track|parallel"
                                      << ":OUTP:COUP:TRAC?"
                                      << "0";
    QTest::newRow("trip ovp") << on12 << "trip ovp 2"
                              << "ok"
                              << ":OUTP:STAT?"
                              << "0";
    QTest::newRow("trip unknown kind") << on12 << "trip heat 1"
                                       << "error: trip ovp or ocp"
                                       << ":OUTP:STAT?"
                                       << "1";
    QTest::newRow("fault") << QStringList{} << "fault delay 20"
                           << "ok"
                           << "*IDN?"
                           << "QV Instruments,KMA-3303T,SN000123,1.0";
    QTest::newRow("bad fault") << QStringList{} << "fault delay"
                               << "error: delay needs milliseconds"
                               << ":OUTP:STAT?"
                               << "0";
    QTest::newRow("model switch") << on12 << "model qle-5505"
                                  << "ok"
                                  << "VSET1?"
                                  << "0.000V";
    QTest::newRow("unknown model") << QStringList{} << "model XYZ-1"
                                   << "error: unknown model 'XYZ-1'"
                                   << "*IDN?"
                                   << "QV Instruments,KMA-3303T,SN000123,1.0";
    QTest::newRow("unknown command") << QStringList{} << "explode"
                                     << "error: unknown command 'explode'"
                                     << ":OUTP:STAT?"
                                     << "0";
    QTest::newRow("empty") << QStringList{} << "  "
                           << "error: empty command"
                           << ":OUTP:STAT?"
                           << "0";
}

void TestSimControl::commands()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, control);
    QFETCH(QString, answer);
    QFETCH(QString, query);
    QFETCH(QString, reply);

    auto instrument = makeInstrument();
    FaultInjector faults;
    ControlInterpreter interpreter({{0, instrument.get()}}, faults);
    QVERIFY(sendAll(*instrument, setup));
    const ControlInterpreter::Result result = interpreter.execute(control.toUtf8());
    QCOMPARE(result.reply, answer.toUtf8());
    QVERIFY(!result.quit);
    QCOMPARE(ask(*instrument, query.toLatin1()), reply.toLatin1());
}

void TestSimControl::quitAndStatus()
{
    auto instrument = makeInstrument(QStringLiteral("KMA-3005"));
    FaultInjector faults;
    ControlInterpreter interpreter({{0, instrument.get()}}, faults);
    QVERIFY(interpreter.execute("fault noterm").reply == "ok");
    QVERIFY(interpreter.execute("set volt 1 12").reply == "ok");
    QVERIFY(interpreter.execute("output on").reply == "ok");
    const QByteArray status = interpreter.execute("status").reply;
    QVERIFY2(status.startsWith("ok model=KMA-3005 output=on coupling=indep"), status.constData());
    QVERIFY2(status.contains("ch1=12.000V/5.000A"), status.constData());
    QVERIFY2(status.contains("out=12.000V/1.200A,CV"), status.constData());
    QVERIFY2(status.endsWith("faults=noterm"), status.constData());
    const ControlInterpreter::Result quit = interpreter.execute("quit");
    QCOMPARE(quit.reply, QByteArray("ok"));
    QVERIFY(quit.quit);
}

void TestSimControl::selectAddressesAnotherInstrument()
{
    auto first = makeInstrument(QStringLiteral("KMA-3303T"));
    auto second = makeInstrument(QStringLiteral("QLE-5505"));
    FaultInjector faults;
    ControlInterpreter interpreter({{5, first.get()}, {9, second.get()}}, faults);
    QCOMPARE(interpreter.execute("set volt 1 3").reply, QByteArray("ok"));
    QCOMPARE(interpreter.execute("select 9").reply, QByteArray("ok"));
    QCOMPARE(interpreter.execute("set volt 1 7").reply, QByteArray("ok"));
    QCOMPARE(interpreter.execute("select 4").reply, QByteArray("error: no instrument at that address"));
    QCOMPARE(ask(*first, ":CHAN1:VOLT?"), QByteArray("3.000"));
    QCOMPARE(ask(*second, "VSET1?"), QByteArray("7.000V"));
}

QTEST_GUILESS_MAIN(TestSimControl)
#include "tst_sim_control.moc"
