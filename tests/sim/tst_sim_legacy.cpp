// The legacy command language of QLE-5505: unit letters on replies, the
// status word, silent handling of what it does not understand, and the colon
// commands it shares with the other family.
#include "SimTestSupport.h"

#include <QTest>

using namespace simtest;

class TestSimLegacy : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void statusWord_data();
    void statusWord();
    void ignoredCommandsChangeNothing_data();
    void ignoredCommandsChangeNothing();
};

void TestSimLegacy::commands_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("reply");

    QTest::newRow("identification") << QStringList{} << "*IDN?"
                                    << "QV Instruments,QLE-5505,SN000123,1.0";
    QTest::newRow("set voltage read with V") << QStringList{"VSET1:12.5"} << "VSET1?"
                                             << "12.500V";
    QTest::newRow("set current read with A") << QStringList{"ISET2:1.2"} << "ISET2?"
                                             << "1.200A";
    QTest::newRow("trailing point") << QStringList{"ISET2:5."} << "ISET2?"
                                    << "5.000A";
    QTest::newRow("lower case") << QStringList{"vset2:3.25"} << "vset2?"
                                << "3.250V";
    QTest::newRow("measured voltage with V") << QStringList{"VSET1:12", "OUT1"} << "VOUT1?"
                                             << "12.000V";
    QTest::newRow("measured current with A") << QStringList{"VSET1:5", "OUT1"} << "IOUT1?"
                                             << "0.500A";
    QTest::newRow("measured 0 with output off") << QStringList{"VSET1:5", "OUT1", "OUT0"} << "VOUT1?"
                                                << "0.000V";
    QTest::newRow("30 V 5 A limits") << QStringList{"VSET2:30", "ISET2:5"} << "VSET2?"
                                     << "30.000V";
    QTest::newRow("beyond 30 V ignored") << QStringList{"VSET1:10", "VSET1:31"} << "VSET1?"
                                         << "10.000V";
    QTest::newRow("comma decimal ignored") << QStringList{"VSET1:10", "VSET1:2,5"} << "VSET1?"
                                           << "10.000V";
    QTest::newRow("store and recall") << QStringList{"VSET1:7", "SAV2", "VSET1:1", "RCL2"} << "VSET1?"
                                      << "7.000V";
    QTest::newRow("memories are 1 to 4") << QStringList{"VSET1:7", "SAV4", "VSET1:1", "SAV5", "RCL4"} << "VSET1?"
                                         << "7.000V";
    QTest::newRow("track: channel 2 follows channel 1") << QStringList{"TRACK1", "VSET1:9"} << "VSET2?"
                                                        << "9.000V";
    QTest::newRow("colon auto-run commands are understood")
        << QStringList{"VSET1:4", "SAV3", "VSET1:1", ":SYST:AUTO:STAR 3", ":SYST:AUTO:END 3", ":SYST:AUTO:STAT 1"}
        << "VSET1?"
        << "4.000V";
    QTest::newRow("colon protection clear") << QStringList{"VSET1:12", "OUT1", ":OUTP:PROT:CLE"} << "VOUT1?"
                                            << "12.000V";
}

void TestSimLegacy::commands()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, query);
    QFETCH(QString, reply);
    auto instrument = makeInstrument(QStringLiteral("QLE-5505"));
    QVERIFY(sendAll(*instrument, setup));
    QCOMPARE(ask(*instrument, query.toLatin1()), reply.toLatin1());
}

void TestSimLegacy::statusWord_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("status");

    // 1 CH1 CC, 2 CH2 CC, 3-4 coupling (01 indep, 11 track, 10 parallel), 7 output.
    QTest::newRow("power-on") << QStringList{} << "00010000";
    QTest::newRow("output on, both CV") << QStringList{"VSET1:5", "OUT1"} << "00010010";
    QTest::newRow("track") << QStringList{"TRACK1"} << "00110000";
    QTest::newRow("parallel") << QStringList{"TRACK2"} << "00100000";
    QTest::newRow("back to independent") << QStringList{"TRACK2", "TRACK0"} << "00010000";
    QTest::newRow("channel 1 in CC") << QStringList{"VSET1:20", "ISET1:1", "OUT1"} << "10010010";
    QTest::newRow("channel 2 in CC") << QStringList{"VSET2:20", "ISET2:1", "OUT1"} << "01010010";
    QTest::newRow("both CC in parallel") << QStringList{"TRACK2", "VSET1:30", "ISET1:1", "OUT1"} << "11100010";
    QTest::newRow("CC bits clear with output off") << QStringList{"VSET1:20", "ISET1:1", "OUT1", "OUT0"} << "00010000";
    QTest::newRow("TRACK3 is ignored") << QStringList{"TRACK1", "TRACK3"} << "00110000";
}

void TestSimLegacy::statusWord()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, status);
    auto instrument = makeInstrument(QStringLiteral("QLE-5505"));
    QVERIFY(sendAll(*instrument, setup));
    QCOMPARE(ask(*instrument, "STATUS?"), status.toLatin1());
}

void TestSimLegacy::ignoredCommandsChangeNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("colon set voltage") << ":CHAN1:VOLT 3";
    QTest::newRow("colon query") << ":CHAN1:VOLT?";
    QTest::newRow("error query") << ":SYST:ERR?";
    QTest::newRow("third channel") << "VSET3:3";
    QTest::newRow("unknown") << "BEEP1";
    QTest::newRow("missing value") << "VSET1:";
    QTest::newRow("OUT2") << "OUT2";
}

void TestSimLegacy::ignoredCommandsChangeNothing()
{
    QFETCH(QString, command);
    auto instrument = makeInstrument(QStringLiteral("QLE-5505"));
    QVERIFY(sendAll(*instrument, {"VSET1:2"}));
    QCOMPARE(ask(*instrument, command.toLatin1()), QByteArray("<none>"));
    QCOMPARE(ask(*instrument, "VSET1?"), QByteArray("2.000V"));
    QCOMPARE(ask(*instrument, "STATUS?"), QByteArray("00010000"));
}

QTEST_GUILESS_MAIN(TestSimLegacy)
#include "tst_sim_legacy.moc"
