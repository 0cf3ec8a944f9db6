#include "protocol/Commands.h"
#include "protocol/LivePlan.h"
#include "protocol/ReplyReaders.h"

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

    // Power beside the readings: both must be numbers; a legacy unit letter
    // is allowed, a blank or a garbled reading gives no power.
    void powerText_data()
    {
        QTest::addColumn<QString>("volts");
        QTest::addColumn<QString>("amps");
        QTest::addColumn<QString>("power");
        QTest::newRow("colon") << "12.000"
                               << "0.500"
                               << "6.000";
        QTest::newRow("legacy units") << "5.01V"
                                      << "1.000A"
                                      << "5.010";
        QTest::newRow("rounded") << "3.333"
                                 << "0.333"
                                 << "1.110";
        QTest::newRow("no current yet") << "5.000"
                                        << ""
                                        << "";
        QTest::newRow("garbled") << "5.0x0"
                                 << "1.000"
                                 << "";
        QTest::newRow("spaces") << " 2.000 "
                                << " 0.250"
                                << "0.500";
    }
    void powerText()
    {
        QFETCH(QString, volts);
        QFETCH(QString, amps);
        QFETCH(QString, power);
        QCOMPARE(PowerText(volts, amps), power);
    }

    // How many rotating state queries a Live cycle takes, and that they
    // take turns: measurements and the every-cycle queries always come first.
    void livePlanSpreadsTheState_data()
    {
        QTest::addColumn<int>("periodMs");
        QTest::addColumn<double>("msPerExchange");
        QTest::addColumn<int>("slice");
        QTest::newRow("unknown link cost: all") << 1000 << 0.0 << 5;
        QTest::newRow("fast link: all") << 250 << 1.0 << 5;
        QTest::newRow("9600 baud at 1 s: all") << 1000 << 30.0 << 5;
        QTest::newRow("slower link at 0.25 s: four") << 250 << 20.0 << 4;
        QTest::newRow("too slow for the measurements: still one") << 250 << 100.0 << 1;
    }
    void livePlanSpreadsTheState()
    {
        QFETCH(int, periodMs);
        QFETCH(double, msPerExchange);
        QFETCH(int, slice);
        const LiveQuery measurement{LiveItem::MeasuredVoltage, 0, 0};
        const LiveQuery output{LiveItem::OutputState, -1, 6};
        QList<LiveQuery> rotating;
        for (int i = 0; i < 5; ++i)
            rotating.append({LiveItem::SetVoltage, i, 20 + i});
        LivePlan plan({measurement, measurement, measurement}, {output}, rotating);
        plan.fitToPeriod(periodMs, msPerExchange);
        QCOMPARE(plan.rotatingPerCycle(), slice);

        // Over enough cycles every rotating query is asked equally often.
        QMap<int, int> asked;
        for (int cycle = 0; cycle < 5; ++cycle) {
            const QList<LiveQuery> queries = plan.nextCycle(cycle % 2 == 0);
            const int fixed = cycle % 2 == 0 ? 4 : 1;
            QCOMPARE(queries.size(), fixed + slice);
            if (cycle % 2 == 0)
                QCOMPARE(queries.first(), measurement);
            QCOMPARE(queries.at(fixed - 1), output);
            for (int i = fixed; i < queries.size(); ++i)
                ++asked[queries.at(i).channel];
        }
        QCOMPARE(asked.size(), 5);
        for (int count : std::as_const(asked))
            QCOMPARE(count, slice);
        // ":CHAN1:MEAS:VOLT?" and a 10-byte reply at 9600 baud.
        QCOMPARE(qRound(LivePlan::serialExchangeMs(17, 9600)), 30);
        QCOMPARE(LivePlan::serialExchangeMs(17, 0), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
