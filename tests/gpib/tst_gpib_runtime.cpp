// VISA and linux-gpib loaded at run time: stand-in libraries with the same
// entry points put the virtual instrument's GPIB controller behind them.
#include "EngineRig.h"
#include "LinuxGpibDevice.h"
#include "PrologixSim.h"
#include "TraceRecorder.h"
#include "VisaGpibDevice.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

using namespace qle;
using namespace qle::testing;

namespace {

enum class Library { Visa, LinuxGpib, LinuxGpibGlobals };

constexpr char SimVariable[] = "QLE_GPIB_STANDIN_SIM";

// Points the program at the library (or at path, when given) and makes the device.
std::unique_ptr<ThreadedGpibDevice> deviceFor(Library library, const QString &path = {})
{
    if (library == Library::Visa) {
        qputenv("QLE_VISA_LIBRARY", (path.isEmpty() ? QStringLiteral(QLE_STANDIN_VISA) : path).toLocal8Bit());
        return std::make_unique<VisaGpibDevice>();
    }
    const QString standin = library == Library::LinuxGpib ? QStringLiteral(QLE_STANDIN_LINUX_GPIB)
                                                          : QStringLiteral(QLE_STANDIN_LINUX_GPIB_GLOBALS);
    qputenv("QLE_LINUX_GPIB_LIBRARY", (path.isEmpty() ? standin : path).toLocal8Bit());
    return std::make_unique<LinuxGpibDevice>();
}

void addLibraryRows()
{
    QTest::addColumn<Library>("library");
    QTest::newRow("VISA") << Library::Visa;
    QTest::newRow("linux-gpib, thread-local status") << Library::LinuxGpib;
    QTest::newRow("linux-gpib, global status") << Library::LinuxGpibGlobals;
}

} // namespace

Q_DECLARE_METATYPE(Library)

class TestGpibRuntime : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv(SimVariable); }

    void sessionWithTheThreeOutputModel_data() { addLibraryRows(); }
    void sessionWithTheThreeOutputModel()
    {
        QFETCH(Library, library);
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        qputenv(SimVariable, sim.where().toLatin1());
        const auto device = deviceFor(library);
        QVERIFY2(device->configure(0, PrologixSim::ThreeOutputAddress), qPrintable(device->lastError()));
        QCOMPARE(device->address(), PrologixSim::ThreeOutputAddress);

        TraceRecorder trace;
        EngineRig rig(*device);
        runSession(rig, trace.lines, threeOutputSession());
        QVERIFY(rig.ringsEmpty());
    }

    void missingLibraryMakesConfigureFail_data() { addLibraryRows(); }
    void missingLibraryMakesConfigureFail()
    {
        QFETCH(Library, library);
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        qputenv(SimVariable, sim.where().toLatin1());
        const auto device = deviceFor(library, QStringLiteral("/nonexistent/libqle-no-gpib.so"));
        QVERIFY(!device->configure(0, PrologixSim::ThreeOutputAddress));
        QVERIFY2(device->lastError().contains(QRegularExpression("^no (VISA|linux-gpib) library")),
                 qPrintable(device->lastError()));

        EngineRig rig(*device);
        rig.query("*IDN?");
        QTRY_COMPARE(rig.timeouts.timeouts, 1);
        QVERIFY(rig.ringsEmpty());
        QVERIFY(sim.received().isEmpty()); // nothing reached the bus
    }

    void unreachableBusMakesConfigureFail_data() { addLibraryRows(); }
    void unreachableBusMakesConfigureFail()
    {
        QFETCH(Library, library);
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        qputenv(SimVariable, sim.where().toLatin1());
        sim.stop();
        const auto device = deviceFor(library);
        QVERIFY(!device->configure(0, PrologixSim::ThreeOutputAddress));
        QVERIFY2(device->lastError().startsWith(library == Library::Visa ? "viOpen" : "ibdev"),
                 qPrintable(device->lastError()));
    }

    void noInstrumentAtTheAddressEndsInTimeoutTask_data() { addLibraryRows(); }
    void noInstrumentAtTheAddressEndsInTimeoutTask()
    {
        QFETCH(Library, library);
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        qputenv(SimVariable, sim.where().toLatin1());
        const auto device = deviceFor(library);
        QVERIFY(device->configure(0, 12));

        TraceRecorder trace;
        EngineRig rig(*device);
        QElapsedTimer elapsed;
        elapsed.start();
        rig.query("*IDN?");
        QTRY_COMPARE_WITH_TIMEOUT(rig.timeouts.timeouts, 1, 8000);
        // The library's 3 s I/O time-out, not the engine's 20 s one.
        QVERIFY2(elapsed.elapsed() < 6000, qPrintable(QString::number(elapsed.elapsed())));
        const QStringList errors = trace.lines.filter(QRegularExpression("^GPIB error: "));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains("time-out"), qPrintable(errors.first()));
        QCOMPARE(gpibNotices(trace.lines), (QStringList{"GPIB WriteComplete", "GPIB ReadAsync"}));
        QVERIFY(rig.ringsEmpty());
        QVERIFY(rig.replies.calls.isEmpty());
    }

    void replyAfterResetIsDropped_data() { addLibraryRows(); }
    void replyAfterResetIsDropped()
    {
        QFETCH(Library, library);
        PrologixSim sim;
        QVERIFY(sim.start(PrologixSim::Link::Tcp));
        qputenv(SimVariable, sim.where().toLatin1());
        const auto device = deviceFor(library);
        QVERIFY(device->configure(0, PrologixSim::ThreeOutputAddress));
        QVERIFY(sim.control("fault delay 800"));

        TraceRecorder trace;
        EngineRig rig(*device);
        rig.query(":CHAN1:VOLT?");
        QTRY_VERIFY(trace.contains("GPIB ReadAsync"));
        rig.engine.ResetAll(); // gives the query up while the library still reads
        QTest::qWait(1500);
        QVERIFY(rig.replies.calls.isEmpty());
        QCOMPARE(trace.count("GPIB DataRead"), 0);
        QVERIFY(rig.ringsEmpty());

        // The next exchange gets its own reply, not the abandoned one.
        QVERIFY(sim.control("fault clear"));
        rig.engine.SetupTimeoutTask(&rig.timeouts, "OnTimeout");
        runSession(rig, trace.lines, {{"*IDN?", "QV Instruments,KMA-3303T,SN000123,1.0"}});
    }
};

QTEST_GUILESS_MAIN(TestGpibRuntime)
#include "tst_gpib_runtime.moc"
