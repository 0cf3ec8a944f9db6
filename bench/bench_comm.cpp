// The communication engine against the virtual instrument on a pseudo-terminal:
// the initial read of a three-output panel (the real qle::CommTasker and
// qle::frmLayout1), its cost per transaction next to a bare serial round trip,
// and the polling rate the engine sustains.
#include "BenchSupport.h"

#include "comm/CommTasker.h"
#include "panels/frmLayout1.h"
#include "panels/PanelHost.h"
#include "protocol/Commands.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QMap>
#include <QSerialPort>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace qle;
using namespace qle::bench;

namespace {

constexpr int PacedBaud = 9600;
constexpr int LatencyMs = 5;
constexpr const char *Model = "KMA-3303T";

// Runs the event loop for ms milliseconds.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QMap<QString, CatalogueRow> readCatalogue()
{
    QMap<QString, CatalogueRow> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench-catalogue");
        db.setDatabaseName(QStringLiteral(QLE_SHIPPED_CATALOGUE));
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open()) {
            QSqlQuery query(db);
            query.exec("select * from data1");
            while (query.next()) {
                CatalogueRow row;
                for (int i = 0; i < query.record().count(); ++i)
                    row.columns.append(query.value(i));
                rows.insert(row.mtype(), row);
            }
        }
    }
    QSqlDatabase::removeDatabase("bench-catalogue");
    return rows;
}

// The main window as the panel sees it, with a real engine on a real serial
// link. The initial-read dialog is a local event loop that ends when the
// engine has nothing queued or pending.
class BenchPanelHost final : public IPanelHost {
public:
    BenchPanelHost() : m_rows(readCatalogue())
    {
        m_commands.LoadScpiCommands();
        m_engine.CommType = "RS232";
    }

    [[nodiscard]] int mainFormState() const override { return 3; }
    [[nodiscard]] QString commType() const override { return "RS232"; }
    [[nodiscard]] QString machineType() const override { return Model; }
    [[nodiscard]] bool isQueryInitialValues() const override { return m_initial; }
    [[nodiscard]] int gpibAddress() const override { return 1; }
    CommTasker &engine() override { return m_engine; }
    [[nodiscard]] const Commands &commands() const override { return m_commands; }
    [[nodiscard]] const CatalogueRow *catalogueRow(const QString &mtype) const override
    {
        auto it = m_rows.constFind(mtype);
        return it == m_rows.constEnd() ? nullptr : &it.value();
    }
    bool runQueryInitialDialog() override
    {
        queuedAtDialog = m_engine.QueryTaskCount;
        QEventLoop loop;
        QTimer check;
        check.setTimerType(Qt::PreciseTimer);
        check.setInterval(1);
        bool cancelled = false;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (m_engine.QueryTaskCount == 0 && !m_engine.IsQueryPending && !m_engine.IsCommandPending)
                loop.quit();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
            cancelled = true;
            loop.quit();
        });
        check.start();
        guard.start(30000);
        m_initial = true;
        loop.exec();
        m_initial = false;
        return cancelled;
    }
    [[nodiscard]] int readTimesSetting() const override { return 5; }

    void DoOutput(bool) override {}
    void DoAutoRun(bool) override {}
    void mnuIndep_Click() override {}
    void mnuParallel_Click() override {}
    void mnuTrack_Click() override {}
    void mnuAutoMode_Click() override {}
    void mnuSaveMemory_Click() override {}
    void mnuRecallMemory_Click() override {}
    void SetMenuOutputModeAllUnchecked() override {}
    void ReportStatus(const QString &, int) override {}
    [[nodiscard]] bool outputOn() const override { return false; }
    [[nodiscard]] bool autoRunOn() const override { return false; }
    void followOutput(bool) override {}
    void followAutoRun(bool) override {}
    void followCoupling(Coupling) override {}

    int queuedAtDialog = 0;

private:
    QMap<QString, CatalogueRow> m_rows;
    Commands m_commands;
    CommTasker m_engine;
    bool m_initial = false;
};

bool openPort(QSerialPort &port, const QString &path)
{
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    const bool ok = port.setBaudRate(PacedBaud) && port.setDataBits(QSerialPort::Data8) &&
                    port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
                    port.setFlowControl(QSerialPort::NoFlowControl);
    port.clear();
    // The instrument polls for a new peer every 10 ms; let it see this one.
    pause(60);
    return ok;
}

struct Timed {
    double ms = 0;
    int transactions = 0;
    Exchange exchange;
    QString error;
    [[nodiscard]] bool ok() const { return error.isEmpty(); }
};

// The panel's initial read through the engine: from the first query written
// to the delivery of the last reply (channel 3's measured current).
Timed engineInitialRead(BenchPanelHost &host, frmLayout1 &panel, SimInstrument &sim)
{
    Timed t;
    sim.takeExchange();
    CommTasker &engine = host.engine();
    if (!openPort(engine.MSComm1, sim.link())) {
        t.error = "cannot open " + sim.link();
        return t;
    }
    TextBox *last = panel.channel(2).txtCurrent;
    last->setText(QString());
    double firstWrite = -1;
    double lastDelivery = -1;
    const auto written = QObject::connect(&engine.MSComm1, &QSerialPort::bytesWritten, [&] {
        if (firstWrite < 0)
            firstWrite = nowMs();
    });
    const auto delivered = QObject::connect(last, &QLineEdit::textChanged, [&](const QString &text) {
        if (!text.isEmpty())
            lastDelivery = nowMs();
    });
    const bool cancelled = panel.QueryInitialValues();
    QObject::disconnect(written);
    QObject::disconnect(delivered);
    engine.MSComm1.close();
    pause(30);
    t.exchange = sim.takeExchange();
    t.transactions = host.queuedAtDialog;
    if (cancelled || firstWrite < 0 || lastDelivery < 0)
        t.error = "initial read did not finish";
    else if (t.exchange.linesIn != 26 || t.exchange.linesOut != 26 || host.queuedAtDialog != 26)
        t.error = QStringLiteral("expected 26 queries and replies, saw %1 queued, %2 in, %3 out")
                      .arg(host.queuedAtDialog)
                      .arg(t.exchange.linesIn)
                      .arg(t.exchange.linesOut);
    t.ms = lastDelivery - firstWrite;
    return t;
}

// The same queries on a bare QSerialPort: write a line, wait for readyRead
// until the LF, write the next.
Timed rawRoundTrips(const QStringList &queries, SimInstrument &sim)
{
    Timed t;
    sim.takeExchange();
    QSerialPort port;
    if (!openPort(port, sim.link())) {
        t.error = "cannot open " + sim.link();
        return t;
    }
    QEventLoop loop;
    QByteArray buffer;
    int answered = 0;
    double firstWrite = -1;
    double lastReply = -1;
    const auto sendNext = [&] { port.write(queries.at(answered).toLatin1() + "\r\n"); };
    QObject::connect(&port, &QSerialPort::bytesWritten, [&] {
        if (firstWrite < 0)
            firstWrite = nowMs();
    });
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        buffer += port.readAll();
        qsizetype end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            buffer.remove(0, end + 1);
            if (++answered == queries.size()) {
                lastReply = nowMs();
                loop.quit();
                return;
            }
            sendNext();
        }
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    sendNext();
    loop.exec();
    port.close();
    pause(30);
    t.exchange = sim.takeExchange();
    t.transactions = answered;
    if (answered != queries.size())
        t.error = QStringLiteral("bare port got %1 of %2 replies").arg(answered).arg(queries.size());
    t.ms = lastReply - firstWrite;
    return t;
}

// The same queries through PyVISA's pure-Python backend, timed by the script
// from its first write to its last read.
Timed pyvisaRead(const QStringList &queries, SimInstrument &sim)
{
    Timed t;
    sim.takeExchange();
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral(QLE_BENCH_PYTHON), {QStringLiteral(QLE_BENCH_PYVISA_SCRIPT), sim.link()});
    python.write(queries.join('\n').toLatin1() + "\n");
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        t.error = "pyvisa script failed (exit " + QString::number(python.exitCode()) + ")";
        return t;
    }
    const QStringList words = QString::fromLatin1(python.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
    pause(30);
    t.exchange = sim.takeExchange();
    if (words.size() < 2) {
        t.error = "pyvisa script printed nothing";
        return t;
    }
    t.ms = words.at(0).toDouble();
    t.transactions = words.at(1).toInt();
    if (t.transactions != queries.size())
        t.error = QStringLiteral("pyvisa got %1 of %2 replies").arg(t.transactions).arg(queries.size());
    return t;
}

struct PollRun {
    double perSecond = 0;
    int answered = 0;
    Exchange exchange;
    QString error;
};

// DoQuery again as soon as the previous query was answered, for `seconds`.
PollRun pollAsFastAsTheLinkAllows(BenchPanelHost &host, frmLayout1 &panel, SimInstrument &sim, double seconds)
{
    PollRun r;
    CommTasker &engine = host.engine();
    if (!openPort(engine.MSComm1, sim.link())) {
        r.error = "cannot open " + sim.link();
        return r;
    }
    sim.takeExchange();
    panel.setQueryStep(0);
    QEventLoop loop;
    double firstWrite = -1;
    double lastDelivery = -1;
    bool stopping = false;
    int reposts = 0;
    std::function<void()> check;
    check = [&] {
        if (engine.QueryTaskCount != 0 || engine.IsQueryPending) {
            // The reply line is in; its delivery runs in the engine's next pass.
            if (++reposts < 100)
                QMetaObject::invokeMethod(&loop, check, Qt::QueuedConnection);
            else
                QTimer::singleShot(1, Qt::PreciseTimer, &loop, check);
            return;
        }
        reposts = 0;
        ++r.answered;
        lastDelivery = nowMs();
        if (lastDelivery - firstWrite >= seconds * 1000 || stopping) {
            loop.quit();
            return;
        }
        panel.DoQuery();
    };
    QObject::connect(&engine.MSComm1, &QSerialPort::bytesWritten, &loop, [&] {
        if (firstWrite < 0)
            firstWrite = nowMs();
    });
    QObject::connect(&engine, &CommTasker::text1Changed, &loop,
                     [&] { QMetaObject::invokeMethod(&loop, check, Qt::QueuedConnection); });
    QTimer::singleShot(static_cast<int>(seconds * 1000) + 20000, &loop, [&] {
        stopping = true;
        r.error = "polling stalled";
        loop.quit();
    });
    panel.DoQuery();
    loop.exec();
    engine.MSComm1.close();
    pause(30);
    r.exchange = sim.takeExchange();
    if (r.answered > 0 && lastDelivery > firstWrite)
        r.perSecond = r.answered * 1000.0 / (lastDelivery - firstWrite);
    return r;
}

void reportFailure(const QString &name, const QString &error, int *status)
{
    printNotAvailable(name, "failed: " + error);
    *status = 1;
}

QString list(const QList<double> &values)
{
    QStringList parts;
    for (double v : values)
        parts.append(QString::number(v, 'f', v < 1 ? 3 : 1));
    return parts.join(' ');
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption repsOption("reps", "Repetitions of each A/B pair (default 7).", "N", "7");
    const QCommandLineOption pollOption("poll-seconds", "Length of one polling run (default 3).", "S", "3");
    parser.addHelpOption();
    parser.addOption(repsOption);
    parser.addOption(pollOption);
    parser.process(app);
    const int reps = std::max(1, parser.value(repsOption).toInt());
    const double pollSeconds = std::max(0.5, parser.value(pollOption).toDouble());

    printHeader("communication engine against psu-sim on a pseudo-terminal");
    QuietMessageBox boxes;
    int status = 0;

    BenchPanelHost host;
    auto panel = std::make_unique<frmLayout1>(host);
    panel->SetupLayout();
    // The 26 queries of the initial read, as the panel queues them.
    QStringList queries;

    // ---- 1. initial read at 9600 baud, 5 ms a command: engine vs PyVISA
    {
        SimInstrument sim;
        if (!sim.start({"--model", Model, "--baud", QString::number(PacedBaud), "--latency", QString::number(LatencyMs),
                        "--no-noise", "--control", "stdin"})) {
            reportFailure("initial read 9600", "psu-sim did not start", &status);
            return 1;
        }
        // One unmeasured read first: it also tells the queries the panel sends.
        Timed warm = engineInitialRead(host, *panel, sim);
        if (!warm.ok()) {
            reportFailure("initial read 9600 (warm-up)", warm.error, &status);
            return 1;
        }
        for (const WireLine &line : warm.exchange.lines)
            if (line.direction == '<')
                queries.append(line.text);

        QList<double> engineMs, pyvisaMs, ref1Ms, ref1bMs, pairDiffMs;
        for (int i = 0; i < reps; ++i) {
            const Timed a = engineInitialRead(host, *panel, sim);
            if (!a.ok()) {
                reportFailure("initial read 9600 (engine)", a.error, &status);
                break;
            }
            const Timed b = pyvisaRead(queries, sim);
            if (!b.ok()) {
                reportFailure("initial read 9600 (PyVISA)", b.error, &status);
                break;
            }
            engineMs.append(a.ms);
            pyvisaMs.append(b.ms);
            pairDiffMs.append(a.ms - b.ms);
            ref1Ms.append(a.exchange.bytes() * byteMs(PacedBaud) + a.transactions * LatencyMs);
            ref1bMs.append(a.exchange.bytesOut * byteMs(PacedBaud) + a.transactions * LatencyMs);
        }
        if (!engineMs.isEmpty()) {
            const double engine = median(engineMs);
            const double ref1 = median(ref1Ms);
            const double ref2 = median(pyvisaMs);
            print({"initial read, 26 queries, 9600 baud + 5 ms", engine, "ms", "wire+latency", ref1, "<= 1.15 x ref",
                   engine <= 1.15 * ref1, ""});
            print({"initial read, 26 queries, 9600 baud + 5 ms", engine, "ms", "PyVISA-py", ref2, "< ref",
                   engine < ref2, ""});
            print({"initial read: sim-paced floor (replies only)", engine, "ms", "reply bytes+latency", median(ref1bMs),
                   "none (psu-sim paces only its output)", std::nullopt, ""});
            printDetail(QStringLiteral("%1 alternating repetitions; engine ms: %2; PyVISA ms: %3; engine minus "
                                       "PyVISA, median of the pairs: %4 ms")
                            .arg(engineMs.size())
                            .arg(list(engineMs), list(pyvisaMs))
                            .arg(median(pairDiffMs), 0, 'f', 2));
            printDetail(QStringLiteral("bytes a read: %1 (%2 to the instrument, %3 back); reference 1 = bytes x "
                                       "%4 ms + 26 x %5 ms")
                            .arg(warm.exchange.bytes())
                            .arg(warm.exchange.bytesIn)
                            .arg(warm.exchange.bytesOut)
                            .arg(byteMs(PacedBaud), 0, 'f', 4)
                            .arg(LatencyMs));
        }
    }

    // ---- 1b. no pacing, no latency: engine vs a bare QSerialPort round trip
    {
        SimInstrument sim;
        if (!sim.start({"--model", Model, "--no-noise", "--control", "stdin"})) {
            reportFailure("initial read unpaced", "psu-sim did not start", &status);
            return 1;
        }
        engineInitialRead(host, *panel, sim);
        rawRoundTrips(queries, sim);
        QList<double> enginePer, rawPer, pyvisaPer;
        for (int i = 0; i < reps; ++i) {
            const Timed a = engineInitialRead(host, *panel, sim);
            const Timed b = rawRoundTrips(queries, sim);
            const Timed c = pyvisaRead(queries, sim);
            if (!a.ok() || !b.ok() || !c.ok()) {
                reportFailure("per transaction, unpaced", !a.ok() ? a.error : !b.ok() ? b.error : c.error, &status);
                break;
            }
            enginePer.append(a.ms / a.transactions);
            rawPer.append(b.ms / b.transactions);
            pyvisaPer.append(c.ms / c.transactions);
        }
        if (!enginePer.isEmpty()) {
            const double engine = median(enginePer);
            const double raw = median(rawPer);
            print({"per transaction, unpaced, no latency", engine, "ms", "bare QSerialPort", raw, "<= ref + 0.5 ms",
                   engine - raw <= 0.5, QStringLiteral("overhead %1 ms").arg(engine - raw, 0, 'f', 3)});
            print({"per transaction, unpaced, no latency", engine, "ms", "PyVISA-py", median(pyvisaPer),
                   "none (for comparison)", std::nullopt, ""});
            printDetail(QStringLiteral("%1 alternating repetitions of 26; ms a transaction, engine: %2; bare port: "
                                       "%3; PyVISA: %4")
                            .arg(enginePer.size())
                            .arg(list(enginePer), list(rawPer), list(pyvisaPer)));
        }
    }

    // ---- 2. polling at 9600 baud: DoQuery whenever the previous one was answered
    {
        SimInstrument sim;
        if (!sim.start({"--model", Model, "--baud", QString::number(PacedBaud), "--no-noise", "--control", "stdin"})) {
            reportFailure("polling 9600", "psu-sim did not start", &status);
            return 1;
        }
        panel->show();
        QList<double> rates, ceilings, measCeilings;
        for (int i = 0; i < 3; ++i) {
            const PollRun r = pollAsFastAsTheLinkAllows(host, *panel, sim, pollSeconds);
            if (!r.error.isEmpty() || r.answered == 0) {
                reportFailure("polling 9600", r.error.isEmpty() ? "no reply" : r.error, &status);
                break;
            }
            rates.append(r.perSecond);
            // The ceiling of this mix of queries on a 9600 8N1 wire, both directions.
            ceilings.append(r.exchange.linesIn * 1000.0 / (r.exchange.bytes() * byteMs(PacedBaud)));
            for (qsizetype k = 0; k + 1 < r.exchange.lines.size(); ++k) {
                const WireLine &q = r.exchange.lines.at(k);
                const WireLine &a = r.exchange.lines.at(k + 1);
                if (q.direction == '<' && q.text.contains("MEAS:VOLT?") && a.direction == '>') {
                    measCeilings.append(1000.0 / ((q.bytes + a.bytes) * byteMs(PacedBaud)));
                    break;
                }
            }
        }
        panel->hide();
        if (!rates.isEmpty()) {
            const double rate = median(rates);
            const double ceiling = median(ceilings);
            print({"polling, DoQuery back to back, 9600 baud", rate, "q/s", "wire ceiling", ceiling, ">= 0.9 x ref",
                   rate >= 0.9 * ceiling, ""});
            printDetail(QStringLiteral("%1 runs of %2 s; q/s: %3; ceiling of the measurement query alone: %4 q/s")
                            .arg(rates.size())
                            .arg(pollSeconds)
                            .arg(list(rates))
                            .arg(median(measCeilings), 0, 'f', 1));
        }
    }
    panel.reset();
    return status;
}
