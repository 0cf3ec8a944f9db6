// A sequence's ramp on psu-sim paced like a 9600-baud line: how far from
// its planned time each value reaches the instrument. The times are the
// simulator's own (its transcript, on its monotonic clock), counted from
// the ramp's first value; the runner's own view (its run log, on the
// program's monotonic clock) is printed beside them.
#include "BenchSupport.h"

#include "instrument/Instrument.h"
#include "platform/SettingsStore.h"
#include "protocol/Catalogue.h"
#include "sequence/ProgramMeasure.h"
#include "sequence/SequenceLoader.h"
#include "sequence/SequenceRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSqlDatabase>
#include <QTimer>

#include <cmath>

using namespace qle;
using namespace qle::bench;
using namespace qle::sequence;

namespace {

constexpr int Baud = 9600;
constexpr int LatencyMs = 5;
constexpr double GoalMs = 50;
constexpr const char *Ramp = "ramp ch1 voltage 0 to 12 V over 12s steps 120";
const QString FigureName = QStringLiteral("ramp step start p95, 9600 baud");

// No settings are read for a serial link.
class NoSettings final : public ISettingsStore {
public:
    [[nodiscard]] QString GetSetting(const QString &, const QString &, const QString &defaultValue) const override
    {
        return defaultValue;
    }
    void SaveSetting(const QString &, const QString &, const QString &) override {}
};

QList<CatalogueRow> readCatalogue()
{
    QList<CatalogueRow> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench-catalogue");
        db.setDatabaseName(QStringLiteral(QLE_SHIPPED_CATALOGUE));
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        QString error;
        if (!db.open() || !ReadCatalogue(db, &rows, &error))
            std::fprintf(stderr, "bench: catalogue: %s\n", qPrintable(error));
    }
    QSqlDatabase::removeDatabase("bench-catalogue");
    return rows;
}

// Runs the event loop until `done` holds or `timeoutMs` passed.
template <typename Done> bool waitFor(Done done, int timeoutMs)
{
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    tick.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// The simulator's time of each ramp value it received, in order.
QList<double> wireTimes(const QString &transcript)
{
    QList<double> times;
    QFile file(transcript);
    if (!file.open(QIODevice::ReadOnly))
        return times;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(" < :CHAN1:VOLT ");
        if (at > 0)
            times << line.left(at).toDouble();
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    printHeader("A sequence's ramp against psu-sim, 9600 baud + 5 ms");
    SimInstrument sim;
    if (!sim.start({"--model", "KMA-3303T", "--no-noise", "--baud", QString::number(Baud), "--latency",
                    QString::number(LatencyMs)})) {
        printNotAvailable(FigureName, "failed: psu-sim did not start");
        return 1;
    }
    const QList<CatalogueRow> catalogue = readCatalogue();
    Instrument instrument;
    LinkOptions link;
    link.kind = LinkOptions::Kind::Serial;
    link.port = sim.link();
    link.baud = Baud;
    std::optional<QString> opened;
    NoSettings settings;
    instrument.open(link, settings, [&](const QString &error) { opened = error; });
    std::optional<Outcome> identified;
    if (waitFor([&] { return opened.has_value(); }, 10000) && opened->isEmpty())
        instrument.identify([&](const QString &mtype) { return FindCatalogueRow(catalogue, mtype); },
                            [&](const Outcome &outcome) { identified = outcome; });
    if (!waitFor([&] { return identified.has_value(); }, 10000) || !identified->done()) {
        printNotAvailable(FigureName, "failed: not connected (" + opened.value_or("no link") + ")");
        return 1;
    }

    const LoadResult loaded = loadSequence(QString::fromLatin1(Ramp));
    const auto &ramp = std::get<RampStep>(loaded.program.steps.at(0).action);
    SequenceRunner runner(instrument);
    const CheckResult checked = runner.start(loaded.program);
    if (!checked.ok()) {
        printNotAvailable(FigureName, "failed: " + formatDiagnostics(checked.diagnostics).trimmed());
        return 1;
    }
    std::fprintf(stderr, "bench: %s: %s\n", Ramp, qPrintable(checked.summary()));
    waitFor([&] { return !runner.isActive(); }, static_cast<int>(ramp.seconds * 1000) + 30000);
    if (runner.state() != SequenceRunner::State::Done) {
        printNotAvailable(FigureName, "failed: " + runner.endText());
        return 1;
    }
    // Give the transcript its last line.
    waitFor([&] { return wireTimes(sim.transcriptPath()).size() > ramp.intervals; }, 2000);
    const QList<double> received = wireTimes(sim.transcriptPath());
    if (received.size() != ramp.intervals + 1) {
        printNotAvailable(
            FigureName,
            QStringLiteral("failed: %1 values received, %2 sent").arg(received.size()).arg(ramp.intervals + 1));
        return 1;
    }

    QList<double> wireOff;
    for (int i = 0; i < received.size(); ++i)
        wireOff << std::abs(received.at(i) - received.first() - rampOffsetSec(ramp, i) * 1000);
    QList<double> runnerOff;
    for (const RunLogEntry &entry : runner.log()) {
        if (entry.kind == RunLogEntry::Kind::RampValue)
            runnerOff << std::abs(entry.actualMs - entry.plannedMs);
    }
    const double wire95 = percentile(wireOff, 95);
    const double intervalMs = ramp.seconds * 1000 / ramp.intervals;
    print({FigureName, wire95, "ms", "goal", GoalMs, "<= 50 ms", wire95 <= GoalMs,
           QStringLiteral("%1 values %2 ms apart; max %3 ms")
               .arg(received.size())
               .arg(intervalMs, 0, 'f', 1)
               .arg(*std::max_element(wireOff.begin(), wireOff.end()), 0, 'f', 1)});
    print({"ramp step start p95, runner's own clock", percentile(runnerOff, 95), "ms", "goal", GoalMs, "none",
           std::nullopt,
           QStringLiteral("max %1 ms; the link's estimate %2 ms a step")
               .arg(*std::max_element(runnerOff.begin(), runnerOff.end()), 0, 'f', 1)
               .arg(estimateLinkPace(link, instrument.family()).stepMs, 0, 'f', 1)});
    printDetail(QStringLiteral("first value at %1 ms of the simulator's clock, last %2 ms after it (planned %3)")
                    .arg(received.first(), 0, 'f', 1)
                    .arg(received.last() - received.first(), 0, 'f', 1)
                    .arg(ramp.seconds * 1000, 0, 'f', 0));
    return 0;
}
