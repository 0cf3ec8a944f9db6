// Live polling against the virtual instrument, side by side with Classic:
// the age of the readings a recorder takes each second on a paced 9600-baud
// link, the program's CPU while polling every 1 s and every 0.25 s with the
// share of the engine's 10 ms tick in it, and how soon a change made at the
// instrument shows on the panel.
#include "BenchSupport.h"
#include "ConnectedWindow.h"

#include "comm/CommTasker.h"
#include "dialogs/dlgPolling.h"
#include "panels/frmLayout1.h"
#include "panels/LivePoller.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/widgets/CWNumEdit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <ctime>

using namespace qle;
using namespace qle::bench;

namespace {

// Reads the panel once a second for `seconds`, as the table recorder does,
// and returns the age in seconds of each channel's older reading each time.
QList<double> readingAges(const Panel &panel, int seconds)
{
    QList<double> ages;
    for (int s = 0; s < seconds; ++s) {
        pause(1000);
        const double now = platform::clock().monotonicSec() * 1000.0;
        for (int ch = 0; ch < panel.channelCount(); ++ch) {
            const qint64 taken = panel.readingTimeMs(ch);
            // Never read yet: as old as the whole run so far.
            ages.append(taken < 0 ? (s + 1) : (now - static_cast<double>(taken)) / 1000.0);
        }
    }
    return ages;
}

// CPU time of this thread so far, ms.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The engine's 10 ms tick, timed where it runs: each timer event of its
// writer timer is handled here, inside a measurement of this thread's CPU
// time. It rests while nothing is queued, so it only runs while polling.
class TickCpu final : public QObject {
public:
    explicit TickCpu(QTimer &timer) : m_timer(timer) { m_timer.installEventFilter(this); }
    ~TickCpu() override { m_timer.removeEventFilter(this); }
    TickCpu(const TickCpu &) = delete;
    TickCpu &operator=(const TickCpu &) = delete;

    double cpuMs = 0;
    int ticks = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != &m_timer || event->type() != QEvent::Timer)
            return false;
        const double t0 = threadCpuMs();
        static_cast<QObject &>(m_timer).event(event);
        cpuMs += threadCpuMs() - t0;
        ++ticks;
        return true;
    }

private:
    QTimer &m_timer;
};

bool outputOn(MDIForm1 &w)
{
    if (!w.outputOn())
        w.mnuOutput_Click();
    return waitFor([&] { return !w.currentPanel()->voltageText(2).isEmpty(); }, 30000);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir tmp;
    useScratchSettings(tmp);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption classicOption("classic-seconds", "Classic reading-age run (default 45).", "S", "45");
    const QCommandLineOption liveOption("live-seconds", "Each Live run (default 30).", "S", "30");
    parser.addHelpOption();
    parser.addOption(classicOption);
    parser.addOption(liveOption);
    parser.process(app);
    const int classicSeconds = std::max(5, parser.value(classicOption).toInt());
    const int liveSeconds = std::max(5, parser.value(liveOption).toInt());

    printHeader("Live polling against psu-sim, side by side with Classic");
    QuietMessageBox boxes;
    ConnectingRunner dialogs;

    // ---- reading age, paced 9600-baud link with 5 ms instrument latency
    {
        SimInstrument sim;
        if (!sim.start({"--model", "KMA-3303T", "--control", "stdin", "--baud", "9600", "--latency", "5"})) {
            printNotAvailable("reading age", "failed: psu-sim did not start");
            return 1;
        }
        auto window = connectedWindow(tmp.filePath("paced"), sim.link());
        if (!window || window->engine().MSComm1.baudRate() != 9600 || !outputOn(*window)) {
            printNotAvailable("reading age", "failed: not connected at 9600 baud (" + boxes.shown.join("; ") + ")");
            return 1;
        }
        MDIForm1 &w = *window;
        const QList<double> classic = readingAges(*w.currentPanel(), classicSeconds);
        w.setPolling({true, 1000});
        pause(3000);
        const QList<double> live = readingAges(*w.currentPanel(), liveSeconds);
        const double classic95 = percentile(classic, 95);
        const double live95 = percentile(live, 95);
        print({"reading age p95, Live 1 s, 9600 baud, 3 outputs", live95, "s", "Classic p95", classic95, "<= 1.2 s",
               live95 <= 1.2,
               QStringLiteral("Live max %1 s; Classic max %2 s; %3 + %4 samples")
                   .arg(percentile(live, 100), 0, 'f', 2)
                   .arg(percentile(classic, 100), 0, 'f', 1)
                   .arg(classic.size())
                   .arg(live.size())});
        const auto *panel = qobject_cast<const PanelBase *>(w.currentPanel());
        if (const LivePoller *poller = panel ? panel->livePoller() : nullptr) {
            printDetail(QStringLiteral("Live at 9600 baud: %1 of %2 state queries a cycle, %3 ms an exchange, %4 "
                                       "periods skipped")
                            .arg(poller->plan().rotatingPerCycle())
                            .arg(poller->plan().rotatingCount())
                            .arg(poller->msPerExchange(), 0, 'f', 1)
                            .arg(poller->skippedPeriods()));
        }
    }

    // ---- Live on an unpaced link: the CPU at 1 s (what a bench left polling for days pays) and at
    // 0.25 s, and at 0.25 s the time a change takes to show
    for (const int period : {1000, 250}) {
        const QString periodText = period == 1000 ? QStringLiteral("1 s") : QStringLiteral("0.25 s");
        SimInstrument sim;
        if (!sim.start({"--model", "KMA-3303T", "--control", "stdin"})) {
            printNotAvailable("Live CPU at " + periodText, "failed: psu-sim did not start");
            return 1;
        }
        PollingChoice{true, period}.save();
        auto window = connectedWindow(tmp.filePath(QStringLiteral("unpaced-%1").arg(period)), sim.link());
        if (!window || !outputOn(*window)) {
            printNotAvailable("Live CPU at " + periodText, "failed: not connected (" + boxes.shown.join("; ") + ")");
            return 1;
        }
        MDIForm1 &w = *window;
        pause(2000);
        const double cpu0 = cpuMs();
        const double t0 = nowMs();
        double tickShare = 0;
        double ticksASecond = 0;
        double tickOfProgram = 0;
        {
            TickCpu tick(w.engine().WriterTimer);
            pause(liveSeconds * 1000);
            const double wall = nowMs() - t0;
            tickShare = 100.0 * tick.cpuMs / wall;
            ticksASecond = tick.ticks * 1000.0 / wall;
            tickOfProgram = 100.0 * tick.cpuMs / std::max(cpuMs() - cpu0, 1e-9);
        }
        const double cpu = 100.0 * (cpuMs() - cpu0) / (nowMs() - t0);
        const double budget = period == 1000 ? 1.0 : 2.0;
        print({"CPU, Live " + periodText + ", unpaced link, 3 outputs", cpu, "%", "budget", budget, "<= ref",
               cpu <= budget, QStringLiteral("%1 s, % of one core").arg(liveSeconds)});
        print({"engine's 10 ms tick, Live " + periodText + ", unpaced link", tickShare, "%", "budget", 1.0, "<= ref",
               tickShare <= 1.0,
               QStringLiteral("% of one core; %1 ticks a second, %2 % of the program's CPU")
                   .arg(ticksASecond, 0, 'f', 1)
                   .arg(tickOfProgram, 0, 'f', 1)});
        if (period != 250)
            continue;

        auto *panel = qobject_cast<frmLayout1 *>(w.currentPanel());
        QList<double> delays;
        for (int i = 0; panel && i < 21; ++i) {
            const double volts = 1.0 + 0.25 * i;
            const double t0 = nowMs();
            sim.control(QStringLiteral("set volt 1 %1").arg(volts, 0, 'f', 2));
            if (!waitFor([&] { return std::abs(panel->channel(0).numVoltage->Value() - volts) < 1e-9; }, 5000))
                break;
            delays.append(nowMs() - t0);
            // Changes come at random moments of the period.
            pause(100 + 37 * (i % 7));
        }
        if (delays.size() < 21) {
            printNotAvailable("change at the instrument to the panel", "failed: a change did not show within 5 s");
            return 1;
        }
        const double typical = median(delays);
        print({"change at the instrument to the panel, Live 0.25 s", typical, "ms", "period", 250, "<= ref",
               typical <= 250,
               QStringLiteral("median of %1; max %2 ms").arg(delays.size()).arg(percentile(delays, 100), 0, 'f', 0)});
    }
    if (!boxes.shown.isEmpty())
        printDetail("message boxes shown: " + boxes.shown.join("; "));
    return 0;
}
