// The Prologix controller device end to end: the virtual instrument plays a
// GPIB-USB controller on a pseudo-terminal and a GPIB-ETHERNET one on TCP,
// the real engine drives the device.
#include "EngineRig.h"
#include "GpibDeviceFactory.h"
#include "platform/SettingsStore.h"
#include "PrologixGpibDevice.h"
#include "PrologixLink.h"
#include "PrologixProtocol.h"
#include "PrologixSim.h"
#include "TraceRecorder.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <QTest>

using namespace qle;
using namespace qle::testing;

Q_DECLARE_METATYPE(qle::testing::PrologixSim::Link)

namespace {

std::unique_ptr<PrologixGpibDevice> deviceFor(PrologixSim::Link link, const QString &where)
{
    if (link == PrologixSim::Link::Pty)
        return std::make_unique<PrologixGpibDevice>(std::make_unique<PrologixSerialLink>(where));
    const qsizetype colon = where.lastIndexOf(u':');
    return std::make_unique<PrologixGpibDevice>(
        std::make_unique<PrologixTcpLink>(where.left(colon), static_cast<quint16>(where.mid(colon + 1).toUInt())));
}

void addLinkRows()
{
    QTest::addColumn<PrologixSim::Link>("link");
    QTest::newRow("GPIB-USB on a pseudo-terminal") << PrologixSim::Link::Pty;
    QTest::newRow("GPIB-ETHERNET on TCP") << PrologixSim::Link::Tcp;
}

class Settings final : public ISettingsStore {
public:
    [[nodiscard]] QString GetSetting(const QString &section, const QString &key,
                                     const QString &defaultValue) const override
    {
        return values.value(section + "/" + key, defaultValue);
    }
    void SaveSetting(const QString &section, const QString &key, const QString &value) override
    {
        values.insert(section + "/" + key, value);
    }
    QMap<QString, QString> values;
};

} // namespace

class TestGpibPrologix : public QObject {
    Q_OBJECT

private slots:
    void escaping_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain query") << QByteArray("*IDN?") << QByteArray("*IDN?\n");
        QTest::newRow("signed value") << QByteArray(":CHAN1:VOLT +5") << QByteArray(":CHAN1:VOLT \x1b+5\n");
        QTest::newRow("looks like a controller command") << QByteArray("++ver") << QByteArray("\x1b+\x1b+ver\n");
        QTest::newRow("CR and LF inside") << QByteArray("A\r\nB") << QByteArray("A\x1b\r\x1b\nB\n");
        QTest::newRow("ESC inside") << QByteArray("A\x1b"
                                                  "B")
                                    << QByteArray("A\x1b\x1b"
                                                  "B\n");
        QTest::newRow("empty") << QByteArray() << QByteArray("\n");
    }
    void escaping()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, line);
        QCOMPARE(prologix::dataLine(text), line);
    }

    void lineSplitting()
    {
        QByteArray buffer("12.5");
        QVERIFY(!prologix::takeLine(buffer));
        buffer.append("00\r\nnext");
        QCOMPARE(prologix::takeLine(buffer), std::optional<QByteArray>("12.500\r\n"));
        QCOMPARE(buffer, QByteArray("next"));
    }

    void sessionWithTheThreeOutputModel_data() { addLinkRows(); }
    void sessionWithTheThreeOutputModel()
    {
        QFETCH(PrologixSim::Link, link);
        PrologixSim sim;
        QVERIFY(sim.start(link));
        const auto device = deviceFor(link, sim.where());
        QVERIFY2(device->configure(0, PrologixSim::ThreeOutputAddress), qPrintable(device->lastError()));
        QVERIFY(device->controllerVersion().startsWith("Prologix GPIB"));
        QCOMPARE(device->address(), PrologixSim::ThreeOutputAddress);

        TraceRecorder trace;
        EngineRig rig(*device);
        runSession(rig, trace.lines, threeOutputSession());
        if (QTest::currentTestFailed())
            return;
        QVERIFY(rig.ringsEmpty());

        // The controller was set up once, then each query was fetched with a read.
        const QStringList received = sim.received();
        const QStringList setup{"++mode 1", "++auto 0", "++eoi 1", "++eos 3", "++addr 5", "++ver"};
        QCOMPARE(received.mid(0, setup.size()), setup);
        QCOMPARE(received.count("++read eoi"), 6);
        QVERIFY(received.contains(":CHAN1:VOLT 12.5"));
    }

    void addressSelectsTheInstrument_data() { addLinkRows(); }
    void addressSelectsTheInstrument()
    {
        QFETCH(PrologixSim::Link, link);
        PrologixSim sim;
        QVERIFY(sim.start(link));
        const auto device = deviceFor(link, sim.where());
        QVERIFY(device->configure(0, PrologixSim::LegacyAddress));
        EngineRig rig(*device);
        rig.query("*IDN?");
        QTRY_COMPARE(rig.replies.calls, QStringList{"QV Instruments,QLE-5505,SN000123,1.0"});
        // Configuring again moves to the other instrument on the same controller.
        QVERIFY(device->configure(0, PrologixSim::ThreeOutputAddress));
        rig.query("*IDN?");
        QTRY_COMPARE(rig.replies.calls.size(), 2);
        QCOMPARE(rig.replies.calls.last(), QString("QV Instruments,KMA-3303T,SN000123,1.0"));
    }

    void signedValueReachesTheInstrument()
    {
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        const auto device = deviceFor(PrologixSim::Link::Tcp, sim.where());
        QVERIFY(device->configure(0, PrologixSim::ThreeOutputAddress));
        TraceRecorder trace;
        EngineRig rig(*device);
        runSession(rig, trace.lines, {setCommand(":CHAN2:VOLT +7.5"), {":CHAN2:VOLT?", "7.500"}});
    }

    void errorNoticeEndsInTimeoutTask_data()
    {
        QTest::addColumn<PrologixSim::Link>("link");
        QTest::addColumn<QString>("how"); // lost while reading, lost before writing, no reply
        QTest::addColumn<QString>("notice");
        for (const auto &[name, link] : {std::pair{"pty", PrologixSim::Link::Pty}, {"tcp", PrologixSim::Link::Tcp}}) {
            QTest::addRow("%s: link closed during the read", name) << link << "lost while reading"
                                                                   << "GPIB error: GPIB adapter link lost";
            QTest::addRow("%s: link closed before the write", name) << link << "lost before writing"
                                                                    << "GPIB error: GPIB adapter";
            QTest::addRow("%s: no reply", name) << link << "no reply"
                                                << "GPIB error: no reply from GPIB address 5";
        }
    }
    void errorNoticeEndsInTimeoutTask()
    {
        QFETCH(PrologixSim::Link, link);
        QFETCH(QString, how);
        QFETCH(QString, notice);
        PrologixSim sim;
        const QString query = ":CHAN1:MEAS:VOLT?";
        QStringList faults;
        if (how == "lost while reading")
            faults << "--fault"
                   << "delay 2000";
        if (how == "no reply")
            faults << "--fault"
                   << "noreply " + query;
        QVERIFY(sim.start(link, faults));
        const auto device = deviceFor(link, sim.where());
        QVERIFY(device->configure(0, PrologixSim::ThreeOutputAddress));
        if (how == "no reply")
            device->setReplyTimeout(600);

        TraceRecorder trace;
        EngineRig rig(*device);
        QElapsedTimer elapsed;
        elapsed.start();
        if (how == "lost before writing") {
            sim.kill();
            QTest::qWait(200); // the loss reaches the device while it is idle
        }
        rig.query(query);
        if (how == "lost while reading") {
            QTRY_VERIFY(trace.contains("GPIB ReadAsync"));
            sim.kill();
        }
        QTRY_COMPARE(rig.timeouts.timeouts, 1);
        // Well before the engine's own 20 s time-out.
        QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
        const QStringList errors = trace.lines.filter(QRegularExpression("^GPIB error: "));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(notice), qPrintable(errors.first()));
        QVERIFY(rig.ringsEmpty());
        QVERIFY(rig.replies.calls.isEmpty());
        QVERIFY(!rig.engine.hasTimeoutReceiver());
        QTest::qWait(800); // nothing further comes of the abandoned query
        QCOMPARE(rig.timeouts.timeouts, 1);
        QVERIFY(rig.replies.calls.isEmpty());
    }

    void recoversAfterAnUnansweredQuery()
    {
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Pty, {"--fault", "noreply :SYST:ERR?"}));
        const auto device = deviceFor(PrologixSim::Link::Pty, sim.where());
        QVERIFY(device->configure(0, PrologixSim::ThreeOutputAddress));
        device->setReplyTimeout(500);
        TraceRecorder trace;
        EngineRig rig(*device);
        rig.query(":SYST:ERR?");
        QTRY_COMPARE(rig.timeouts.timeouts, 1);
        QVERIFY(sim.received().contains("++clr")); // the reset cleared the instrument
        rig.engine.SetupTimeoutTask(&rig.timeouts, "OnTimeout");
        runSession(rig, trace.lines, {{"*IDN?", "QV Instruments,KMA-3303T,SN000123,1.0"}, {":OUTP:STAT?", "0"}});
    }

    void configureFailsWithoutAController_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("serial port missing") << "serial port missing";
        QTest::newRow("nothing listens on the port") << "connection refused";
        QTest::newRow("an instrument, not a controller") << "no controller";
    }
    void configureFailsWithoutAController()
    {
        QFETCH(QString, kind);
        PrologixSim sim;
        std::unique_ptr<PrologixGpibDevice> device;
        if (kind == "serial port missing") {
            device = deviceFor(PrologixSim::Link::Pty, "/dev/qle-no-such-adapter");
        } else if (kind == "connection refused") {
            QVERIFY(sim.start(PrologixSim::Link::Tcp));
            const QString where = sim.where();
            sim.stop();
            device = deviceFor(PrologixSim::Link::Tcp, where);
        } else {
            QVERIFY(sim.start(PrologixSim::Link::Tcp, {}, false));
            device = deviceFor(PrologixSim::Link::Tcp, sim.where());
        }
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!device->configure(0, 5));
        QVERIFY(elapsed.elapsed() < PrologixGpibDevice::OpenTimeoutMsec + PrologixGpibDevice::ProbeTimeoutMsec + 500);
        QVERIFY(!device->lastError().isEmpty());

        // The engine gets an error notice instead of a silent wait.
        EngineRig rig(*device);
        rig.query("*IDN?");
        QTRY_COMPARE(rig.timeouts.timeouts, 1);
        QVERIFY(rig.ringsEmpty());
    }

    void factoryDeviceFromTheSettings()
    {
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        Settings settings;
        settings.values["GPIB/Backend"] = "prologix-ethernet";
        settings.values["GPIB/AdapterHost"] = sim.where();
        const std::unique_ptr<GpibDevice> device = gpib::createGpibDevice(settings);
        QVERIFY(device);
        QVERIFY(device->configure(0, PrologixSim::ThreeOutputAddress));
        TraceRecorder trace;
        EngineRig rig(*device);
        runSession(rig, trace.lines, {{"*IDN?", "QV Instruments,KMA-3303T,SN000123,1.0"}});
    }
};

QTEST_GUILESS_MAIN(TestGpibPrologix)
#include "tst_gpib_prologix.moc"
