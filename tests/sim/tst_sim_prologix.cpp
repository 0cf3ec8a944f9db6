// The Prologix-compatible GPIB controller front end with two instruments
// behind it.
#include "PrologixFrontend.h"
#include "SimTestSupport.h"

#include <QTest>

using namespace psusim;
using namespace simtest;

namespace {
struct Bus {
    Bus()
        : kma(makeInstrument(QStringLiteral("KMA-3303T"))), legacy(makeInstrument(QStringLiteral("QLE-5505"))), gpib(0)
    {
        gpib.attach(5, kma.get());
        gpib.attach(9, legacy.get());
        gpib.setCommandObserver([this](const QByteArray &command) {
            commands << command;
            return FaultInjector::Verdict{};
        });
    }
    // The texts that come back for the line (controller and instrument replies).
    QList<QByteArray> line(const QByteArray &text)
    {
        QList<QByteArray> texts;
        for (const Outgoing &out : gpib.handleLine(text, 0))
            texts << (out.fromInstrument ? "I:" : "C:") + out.text;
        return texts;
    }

    std::unique_ptr<Instrument> kma;
    std::unique_ptr<Instrument> legacy;
    PrologixFrontend gpib;
    QList<QByteArray> commands;
};
using L = QList<QByteArray>;
} // namespace

class TestSimPrologix : public QObject {
    Q_OBJECT
private slots:
    void controllerCommands_data();
    void controllerCommands();
    void readAfterQueryWithAutoOff();
    void autoReadOn();
    void addressesSelectInstruments();
    void endOfSendAndEoi();
    void onlyInstrumentCommandsAreObserved();
};

void TestSimPrologix::controllerCommands_data()
{
    QTest::addColumn<QList<QByteArray>>("setup");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QList<QByteArray>>("reply");

    QTest::newRow("version") << L{} << QByteArray("++ver") << L{"C:Prologix GPIB-USB Controller version 6.101"};
    QTest::newRow("first address is the default") << L{} << QByteArray("++addr") << L{"C:5"};
    QTest::newRow("address set") << L{"++addr 9"} << QByteArray("++addr") << L{"C:9"};
    QTest::newRow("address out of range kept") << L{"++addr 31"} << QByteArray("++addr") << L{"C:5"};
    QTest::newRow("auto off by default") << L{} << QByteArray("++auto") << L{"C:0"};
    QTest::newRow("auto on") << L{"++auto 1"} << QByteArray("++auto") << L{"C:1"};
    QTest::newRow("eoi on by default") << L{} << QByteArray("++eoi") << L{"C:1"};
    QTest::newRow("eos") << L{"++eos 2"} << QByteArray("++eos") << L{"C:2"};
    QTest::newRow("eos 4 refused") << L{"++eos 4"} << QByteArray("++eos") << L{"C:0"};
    QTest::newRow("controller mode") << L{"++mode 1"} << QByteArray("++mode") << L{"C:1"};
    QTest::newRow("reset restores settings") << L{"++auto 1", "++eos 3", "++rst"} << QByteArray("++eos") << L{"C:0"};
    QTest::newRow("read with nothing pending") << L{} << QByteArray("++read eoi") << L{};
    QTest::newRow("unknown controller command") << L{} << QByteArray("++frobnicate") << L{};
}

void TestSimPrologix::controllerCommands()
{
    QFETCH(QList<QByteArray>, setup);
    QFETCH(QByteArray, command);
    QFETCH(QList<QByteArray>, reply);
    Bus bus;
    for (const QByteArray &line : setup)
        QCOMPARE(bus.line(line), L{});
    QCOMPARE(bus.line(command), reply);
}

void TestSimPrologix::readAfterQueryWithAutoOff()
{
    Bus bus;
    QCOMPARE(bus.line("*IDN?"), L{});
    QCOMPARE(bus.line("++read eoi"), L{"I:QV Instruments,KMA-3303T,SN000123,1.0"});
    QCOMPARE(bus.line("++read eoi"), L{}); // read once
    // A newer reply replaces one that was not read.
    QCOMPARE(bus.line(":OUTP:STAT?"), L{});
    QCOMPARE(bus.line(":CHAN1:VOLT?"), L{});
    QCOMPARE(bus.line("++read"), L{"I:0.000"});
    // Device clear empties the output buffer.
    QCOMPARE(bus.line("*IDN?"), L{});
    QCOMPARE(bus.line("++clr"), L{});
    QCOMPARE(bus.line("++read eoi"), L{});
}

void TestSimPrologix::autoReadOn()
{
    Bus bus;
    QCOMPARE(bus.line("++auto 1"), L{});
    QCOMPARE(bus.line(":CHAN1:VOLT 3"), L{});
    QCOMPARE(bus.line(":CHAN1:VOLT?"), L{"I:3.000"});
    QCOMPARE(bus.line("++read eoi"), L{});
}

void TestSimPrologix::addressesSelectInstruments()
{
    Bus bus;
    QCOMPARE(bus.line("++auto 1"), L{});
    QCOMPARE(bus.line("++addr 9"), L{});
    QCOMPARE(bus.line("*IDN?"), L{"I:QV Instruments,QLE-5505,SN000123,1.0"});
    QCOMPARE(bus.line("VSET1:4"), L{});
    QCOMPARE(bus.line("++addr 5"), L{});
    QCOMPARE(bus.line("*IDN?"), L{"I:QV Instruments,KMA-3303T,SN000123,1.0"});
    QCOMPARE(bus.kma->supply().settings(1).volt, 0.0);
    QCOMPARE(bus.legacy->supply().settings(1).volt, 4.0);
    // Nobody at address 12: the text is lost, nothing comes back.
    QCOMPARE(bus.line("++addr 12"), L{});
    QCOMPARE(bus.line("*IDN?"), L{});
    QCOMPARE(bus.line("++read eoi"), L{});
}

void TestSimPrologix::endOfSendAndEoi()
{
    Bus bus;
    QCOMPARE(bus.line("++auto 1"), L{});
    // No end-of-send character but EOI: the message still ends.
    QCOMPARE(bus.line("++eos 3"), L{});
    QCOMPARE(bus.line(":OUTP:STAT?"), L{"I:0"});
    // Neither: the instrument waits for the rest of the message...
    QCOMPARE(bus.line("++eoi 0"), L{});
    QCOMPARE(bus.line("*IDN"), L{});
    QCOMPARE(bus.line("++eoi 1"), L{});
    // ...which this line completes.
    QCOMPARE(bus.line("?"), L{"I:QV Instruments,KMA-3303T,SN000123,1.0"});
    // LF as end-of-send without EOI works too.
    QCOMPARE(bus.line("++eos 2"), L{});
    QCOMPARE(bus.line("++eoi 0"), L{});
    QCOMPARE(bus.line(":OUTP:STAT?"), L{"I:0"});
}

void TestSimPrologix::onlyInstrumentCommandsAreObserved()
{
    Bus bus;
    bus.line("++addr 9");
    bus.line("++ver");
    bus.line("VSET1:2");
    bus.line("++read eoi");
    bus.line("VSET1?");
    QCOMPARE(bus.commands, (L{"VSET1:2", "VSET1?"}));
}

QTEST_GUILESS_MAIN(TestSimPrologix)
#include "tst_sim_prologix.moc"
