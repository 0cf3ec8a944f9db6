// The colon (SCPI-like) command language: header forms, number syntax,
// replies and the error queue.
#include "ErrorQueue.h"
#include "SimTestSupport.h"

#include <QLocale>
#include <QTest>

using namespace simtest;

class TestSimColon : public QObject {
    Q_OBJECT
private slots:
    void queries_data();
    void queries();
    void errors_data();
    void errors();
    void rejectedValueIsNotApplied();
    void errorQueueOrderAndOverflow();
    void numbersIgnoreTheLocale();
    void setCommandsAreSilent();
};

void TestSimColon::queries_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("reply");

    const QString kma = QStringLiteral("KMA-3303T");
    QTest::newRow("identification") << kma << QStringList{} << "*IDN?"
                                    << "QV Instruments,KMA-3303T,SN000123,1.0";
    QTest::newRow("identification lower case") << "QLE-3003" << QStringList{} << "*idn?"
                                               << "QV Instruments,QLE-3003,SN000123,1.0";
    QTest::newRow("voltage short form") << kma << QStringList{":CHAN1:VOLT 12.5"} << ":CHAN1:VOLT?"
                                        << "12.500";
    QTest::newRow("voltage long form, any case") << kma << QStringList{":channel2:voltage 7.25"} << ":CHANnel2:VOLTage?"
                                                 << "7.250";
    QTest::newRow("without leading colon") << kma << QStringList{"CHAN1:CURR 1.5"} << "chan1:curr?"
                                           << "1.500";
    QTest::newRow("channel without suffix is 1") << kma << QStringList{":CHAN:VOLT 3"} << ":CHAN1:VOLT?"
                                                 << "3.000";
    QTest::newRow("blanks around the value") << kma << QStringList{":CHAN1:VOLT   4.5  "} << ":CHAN1:VOLT?"
                                             << "4.500";
    QTest::newRow("value with trailing point") << kma << QStringList{":CHAN1:VOLT 5."} << ":CHAN1:VOLT?"
                                               << "5.000";
    QTest::newRow("value with exponent") << kma << QStringList{":CHAN1:VOLT 1.5e1"} << ":CHAN1:VOLT?"
                                         << "15.000";
    QTest::newRow("value rounded to three decimals") << kma << QStringList{":CHAN1:VOLT 1.2346"} << ":CHAN1:VOLT?"
                                                     << "1.235";
    QTest::newRow("voltage at the limit") << kma << QStringList{":CHAN1:VOLT 30"} << ":CHAN1:VOLT?"
                                          << "30.000";
    QTest::newRow("default current is the maximum") << kma << QStringList{} << ":CHAN3:CURR?"
                                                    << "3.000";
    QTest::newRow("default ovp is the model maximum") << kma << QStringList{} << ":CHAN3:PROT:VOLT?"
                                                      << "5.500";
    QTest::newRow("ovp set") << kma << QStringList{":CHAN1:PROT:VOLT 20"} << ":CHAN1:PROTection:VOLTage?"
                             << "20.000";
    QTest::newRow("ocp default off") << kma << QStringList{} << ":CHAN2:PROT:CURR?"
                                     << "0";
    QTest::newRow("ocp on") << kma << QStringList{":CHAN2:PROT:CURR 1"} << ":CHAN2:PROT:CURR?"
                            << "1";
    QTest::newRow("ocp on as word") << kma << QStringList{":CHAN3:PROTection:CURRent ON"} << ":CHAN3:PROT:CURR?"
                                    << "1";
    QTest::newRow("output off at power-on") << kma << QStringList{} << ":OUTP:STAT?"
                                            << "0";
    QTest::newRow("output on") << kma << QStringList{":OUTP:STAT 1"} << ":OUTPut:STATe?"
                               << "1";
    QTest::newRow("output off again") << kma << QStringList{":OUTP:STAT 1", ":OUTP:STAT 0"} << ":OUTP:STAT?"
                                      << "0";
    QTest::newRow("coupling independent") << kma << QStringList{} << ":OUTP:COUP:TRAC?"
                                          << "0";
    QTest::newRow("coupling 1 is track") << kma << QStringList{":OUTP:COUP:TRAC 1"} << ":OUTP:COUP:TRAC?"
                                         << "1";
    QTest::newRow("coupling 2 is parallel") << kma << QStringList{":OUTPut:COUPle:TRACk 2"} << ":OUTP:COUP:TRAC?"
                                            << "2";
    QTest::newRow("auto-run start") << kma << QStringList{":SYST:AUTO:STAR 2"} << ":SYSTem:AUTO:STARt?"
                                    << "2";
    QTest::newRow("auto-run end") << kma << QStringList{":SYST:AUTO:END 9"} << ":SYST:AUTO:END?"
                                  << "9";
    QTest::newRow("cycles set as CYCL, read as CYCLE") << kma << QStringList{":SYST:AUTO:CYCL 5"} << ":SYST:AUTO:CYCLE?"
                                                       << "5";
    QTest::newRow("delay") << kma << QStringList{":SYST:AUTO:DEL 7"} << ":SYST:AUTO:DELay?"
                           << "7";
    QTest::newRow("auto-run off at power-on") << kma << QStringList{} << ":SYST:AUTO:STAT?"
                                              << "0";
    QTest::newRow("memory at power-on") << kma << QStringList{} << ":SYST:MEM?"
                                        << "0";
    QTest::newRow("memory after store") << kma << QStringList{"*SAV 4"} << ":SYSTem:MEMory?"
                                        << "4";
    QTest::newRow("reading is 0 with output off") << kma << QStringList{":CHAN1:VOLT 12"} << ":CHAN1:MEAS:VOLT?"
                                                  << "0.000";
    QTest::newRow("measured voltage") << kma << QStringList{":CHAN1:VOLT 12", ":OUTP:STAT 1"} << ":CHAN1:MEAS:VOLT?"
                                      << "12.000";
    QTest::newRow("measured current into 10 ohm")
        << kma << QStringList{":CHAN1:VOLT 12", ":OUTP:STAT 1"} << ":CHANnel1:MEASure:CURRent?"
        << "1.200";
    QTest::newRow("single output, 30 V 5 A")
        << "KMA-3005" << QStringList{":CHAN1:VOLT 30", ":CHAN1:CURR 5"} << ":CHAN1:CURR?"
        << "5.000";
    QTest::newRow("single output, 60 V") << "KMB-6001" << QStringList{":CHAN1:VOLT 60"} << ":CHAN1:VOLT?"
                                         << "60.000";
    QTest::newRow("KMB-3203T third output 32 V") << "KMB-3203T" << QStringList{":CHAN3:VOLT 32"} << ":CHAN3:VOLT?"
                                                 << "32.000";
    QTest::newRow("discontinued model answers") << "KMA-9000" << QStringList{} << "*IDN?"
                                                << "QV Instruments,KMA-9000,SN000123,1.0";
}

void TestSimColon::queries()
{
    QFETCH(QString, model);
    QFETCH(QStringList, setup);
    QFETCH(QString, query);
    QFETCH(QString, reply);
    auto instrument = makeInstrument(model);
    QVERIFY(sendAll(*instrument, setup));
    QCOMPARE(ask(*instrument, query.toLatin1()), reply.toLatin1());
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("0,\"No error\""));
}

void TestSimColon::errors_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("error");

    const QString kma = QStringLiteral("KMA-3303T");
    const QString undefined = QStringLiteral("-113,\"Undefined header\"");
    const QString range = QStringLiteral("-222,\"Data out of range\"");
    const QString syntax = QStringLiteral("-102,\"Syntax error\"");
    const QString suffix = QStringLiteral("-114,\"Header suffix out of range\"");
    QTest::newRow("unknown header") << kma << ":FOO:BAR 1" << undefined;
    QTest::newRow("keyword between short and long form") << kma << ":CHANN1:VOLT 1" << undefined;
    QTest::newRow("too deep") << kma << ":CHAN1:VOLT:LEVEL 1" << undefined;
    QTest::newRow("query of a set-only header") << kma << ":OUTP:PROT:CLE?" << undefined;
    QTest::newRow("set of a query-only header") << kma << ":CHAN1:MEAS:VOLT 3" << undefined;
    QTest::newRow("suffix on a keyword that takes none") << kma << ":OUTP2:STAT 1" << undefined;
    QTest::newRow("empty header") << kma << ":" << undefined;
    QTest::newRow("voltage beyond maximum") << kma << ":CHAN1:VOLT 30.5" << range;
    QTest::newRow("third output of KMA-3303T is 5 V") << kma << ":CHAN3:VOLT 6" << range;
    QTest::newRow("negative voltage") << kma << ":CHAN1:VOLT -1" << range;
    QTest::newRow("current beyond maximum") << kma << ":CHAN2:CURR 3.1" << range;
    QTest::newRow("ovp beyond maximum") << kma << ":CHAN1:PROT:VOLT 34" << range;
    QTest::newRow("ocp neither 0 nor 1") << kma << ":CHAN1:PROT:CURR 2" << range;
    QTest::newRow("coupling 3") << kma << ":OUTP:COUP:TRAC 3" << range;
    QTest::newRow("memory 10") << kma << "*SAV 10" << range;
    QTest::newRow("recall memory -1") << kma << "*RCL -1" << range;
    QTest::newRow("fractional memory") << kma << "*SAV 1.5" << range;
    QTest::newRow("auto-run start beyond memories") << kma << ":SYST:AUTO:STAR 10" << range;
    QTest::newRow("delay beyond 99") << kma << ":SYST:AUTO:DEL 100" << range;
    QTest::newRow("decimal comma") << kma << ":CHAN1:VOLT 2,5" << syntax;
    QTest::newRow("unit after the number") << kma << ":CHAN1:VOLT 5V" << syntax;
    QTest::newRow("not a number") << kma << ":CHAN1:CURR abc" << syntax;
    QTest::newRow("nan is no number") << kma << ":CHAN1:CURR nan" << syntax;
    QTest::newRow("output state word") << kma << ":OUTP:STAT maybe" << syntax;
    QTest::newRow("missing value") << kma << ":CHAN1:VOLT"
                                   << "-109,\"Missing parameter\"";
    QTest::newRow("fourth channel of three") << kma << ":CHAN4:VOLT 1" << suffix;
    QTest::newRow("channel 0") << kma << ":CHAN0:VOLT?" << suffix;
    QTest::newRow("second channel of a single output") << "KMA-3005"
                                                       << ":CHAN2:VOLT?" << suffix;
    QTest::newRow("coupling on a single output") << "QLE-3003"
                                                 << ":OUTP:COUP:TRAC 1"
                                                 << "-221,\"Settings conflict\"";
    QTest::newRow("6 V on KMC-0505") << "KMC-0505"
                                     << ":CHAN1:VOLT 6" << range;
}

void TestSimColon::errors()
{
    QFETCH(QString, model);
    QFETCH(QString, command);
    QFETCH(QString, error);
    auto instrument = makeInstrument(model);
    QCOMPARE(ask(*instrument, command.toLatin1()), QByteArray("<none>"));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), error.toLatin1());
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("0,\"No error\""));
}

void TestSimColon::rejectedValueIsNotApplied()
{
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 10", ":CHAN1:VOLT 31", ":CHAN1:CURR 2", ":CHAN1:CURR 2,5",
                                  ":CHAN1:PROT:VOLT 40", ":OUTP:COUP:TRAC 7"}));
    QCOMPARE(ask(*instrument, ":CHAN1:VOLT?"), QByteArray("10.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:CURR?"), QByteArray("2.000"));
    QCOMPARE(ask(*instrument, ":CHAN1:PROT:VOLT?"), QByteArray("33.000"));
    QCOMPARE(ask(*instrument, ":OUTP:COUP:TRAC?"), QByteArray("0"));
}

void TestSimColon::errorQueueOrderAndOverflow()
{
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {":NOPE", ":CHAN1:VOLT 99", ":CHAN1:VOLT x"}));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("-113,\"Undefined header\""));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("-222,\"Data out of range\""));
    QCOMPARE(ask(*instrument, ":SYSTem:ERRor?"), QByteArray("-102,\"Syntax error\""));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("0,\"No error\""));

    // 20 errors into a queue of 16: 15 kept, the last slot says overflow.
    for (int i = 0; i < 20; ++i)
        QVERIFY(sendAll(*instrument, {":NOPE"}));
    for (int i = 0; i < psusim::ErrorQueue::kDepth - 1; ++i)
        QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("-113,\"Undefined header\""));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("-350,\"Queue overflow\""));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("0,\"No error\""));

    QVERIFY(sendAll(*instrument, {":NOPE", "*CLS"}));
    QCOMPARE(ask(*instrument, ":SYST:ERR?"), QByteArray("0,\"No error\""));
}

void TestSimColon::numbersIgnoreTheLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto instrument = makeInstrument();
    QVERIFY(sendAll(*instrument, {":CHAN1:VOLT 12.5", ":CHAN1:CURR 0,5"}));
    const QByteArray volt = ask(*instrument, ":CHAN1:VOLT?");
    const QByteArray error = ask(*instrument, ":SYST:ERR?");
    QLocale::setDefault(saved);
    QCOMPARE(volt, QByteArray("12.500"));
    QCOMPARE(error, QByteArray("-102,\"Syntax error\""));
}

void TestSimColon::setCommandsAreSilent()
{
    // Set commands never answer, valid or not; the program expects no line.
    auto instrument = makeInstrument();
    for (const char *line :
         {":CHAN1:VOLT 1", ":CHAN1:CURR 1", ":CHAN1:PROT:VOLT 10", ":CHAN1:PROT:CURR 0", ":OUTP:STAT 0",
          ":OUTP:COUP:TRAC 0", ":OUTP:PROT:CLE", ":SYST:AUTO:STAR 1", ":SYST:AUTO:END 2", ":SYST:AUTO:CYCL 1",
          ":SYST:AUTO:DEL 1", "*SAV 1", "*RCL 1", ":BAD", "*RST"})
        QCOMPARE(ask(*instrument, line), QByteArray("<none>"));
}

QTEST_GUILESS_MAIN(TestSimColon)
#include "tst_sim_colon.moc"
