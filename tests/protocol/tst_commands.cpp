#include "protocol/Commands.h"

#include <QTest>

using namespace qle;

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void scpiTable_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("measured volt 1") << 0 << ":CHAN1:MEAS:VOLT?";
        QTest::newRow("measured curr 3") << 5 << ":CHAN3:MEAS:CURR?";
        QTest::newRow("output") << 6 << ":OUTP:STAT?";
        QTest::newRow("coupling") << 7 << ":OUTP:COUP:TRAC?";
        QTest::newRow("cycle, long form") << 11 << ":SYST:AUTO:CYCLE?";
        QTest::newRow("memory") << 13 << ":SYST:MEM?";
        QTest::newRow("ovp 2") << 15 << ":CHAN2:PROT:VOLT?";
        QTest::newRow("ocp 3") << 19 << ":CHAN3:PROT:CURR?";
        QTest::newRow("set volt 1") << 20 << ":CHAN1:VOLT?";
        QTest::newRow("set curr 3") << 25 << ":CHAN3:CURR?";
        QTest::newRow("error") << 26 << ":SYST:ERR?";
        QTest::newRow("27 unused") << 27 << "";
        QTest::newRow("28 unfilled") << 28 << "";
    }
    void scpiTable()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        Commands commands;
        commands.LoadScpiCommands();
        QCOMPARE(commands.query(index), text);
        QCOMPARE(commands.IdnCommand, QString("*IDN?"));
    }

    void legacyTableLeavesWhatItDoesNotFill()
    {
        Commands commands;
        commands.LoadLegacyCommands();
        QCOMPARE(commands.query(0), QString("VOUT1?"));
        QCOMPARE(commands.query(24), QString("ISET2?"));
        QCOMPARE(commands.query(6), QString("STATUS?"));
        QCOMPARE(commands.query(7), QString("STATUS?"));
        QCOMPARE(commands.query(28), QString("STATUS?"));
        QCOMPARE(commands.query(26), QString());
        QCOMPARE(commands.query(4), QString());

        // The colon table loaded earlier in the run stays where legacy is silent.
        Commands switched;
        switched.LoadScpiCommands();
        switched.LoadLegacyCommands();
        QCOMPARE(switched.query(26), QString(":SYST:ERR?"));
        QCOMPARE(switched.query(4), QString(":CHAN3:MEAS:VOLT?"));
        QCOMPARE(switched.query(0), QString("VOUT1?"));
        switched.LoadScpiCommands();
        QCOMPARE(switched.query(28), QString("STATUS?"));
        QCOMPARE(switched.query(6), QString(":OUTP:STAT?"));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
