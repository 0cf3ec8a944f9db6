// qle-cli log: reads every channel at a fixed interval for a given time, and
// keeps every row as soon as it is taken: a CSV line flushed to the file (or
// to standard output), a batch committed to the record. A signal ends the log
// as its end time would.
#include "LogCommand.h"

#include "EnergyTally.h"
#include "MqttLog.h"
#include "RowWriter.h"
#include "StopSignals.h"

#include "platform/FormatPattern.h"
#include "protocol/ReplyReaders.h"
#include "recording/database/SampleReducer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <memory>
#include <unistd.h>

namespace qle::cli {
namespace {

constexpr double ShortestInterval = 0.1;
// Past these the tick counts and timer periods would overflow.
constexpr double LongestInterval = 86400;        // one day, for --interval and --every
constexpr double LongestDuration = 366 * 86400.; // 366 days

QString clockText(double seconds)
{
    const auto s = static_cast<qint64>(std::llround(seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

std::optional<double> parseDuration(const QString &text)
{
    QString number = text.trimmed();
    double unit = 1;
    if (!number.isEmpty()) {
        const QChar last = number.back();
        const QMap<QChar, double> units{{u's', 1}, {u'm', 60}, {u'h', 3600}, {u'd', 86400}};
        if (units.contains(last)) {
            unit = units.value(last);
            number.chop(1);
        }
    }
    bool ok = false;
    // A finite number times its unit may overflow to infinity: past every
    // maximum, which the caller refuses.
    const double value = ReadNumber(number, &ok) * unit;
    if (!ok || !(value > 0))
        return std::nullopt;
    return value;
}

bool intervalFrom(const QMap<QString, QString> &options, double *seconds, QString *error)
{
    const std::optional<double> interval = parseDuration(options.value("interval", "1"));
    if (!interval || *interval < ShortestInterval) {
        *error = "--interval needs seconds, 0.1 or more";
        return false;
    }
    if (*interval > LongestInterval) {
        *error = "--interval can be at most one day (1d, 86400 s)";
        return false;
    }
    *seconds = *interval;
    return true;
}

bool rowTargetsFrom(const QMap<QString, QString> &options, bool stdoutByDefault, RowTargets *targets, QString *error)
{
    if (options.contains("csv") && options.value("csv").isEmpty()) {
        *error = "--csv needs a file name, or - for standard output";
        return false;
    }
    targets->csvPath = options.value("csv");
    targets->csvToStdout = targets->csvPath == QLatin1String("-") ||
                           (stdoutByDefault && !options.contains("csv") && !options.contains("record"));
    if (targets->csvToStdout)
        targets->csvPath.clear();
    if (options.contains("record"))
        targets->recordComment = options.value("record");
    targets->energyColumns = options.contains("energy");
    return true;
}

bool logOptionsFrom(const QMap<QString, QString> &options, const QStringList &words, LogOptions *log, QString *error)
{
    if (!words.isEmpty()) {
        *error = "log takes options only: --interval S --duration D ...";
        return false;
    }
    if (!intervalFrom(options, &log->intervalSec, error))
        return false;
    const std::optional<double> duration = parseDuration(options.value("duration"));
    if (!duration) {
        *error = "--duration needs a time such as 90s, 8h or 3d";
        return false;
    }
    if (*duration > LongestDuration) {
        *error = "--duration can be at most 366 days (366d)";
        return false;
    }
    log->durationSec = *duration;
    if (options.contains("reduce") != options.contains("every")) {
        *error = "--reduce and --every go together";
        return false;
    }
    if (options.contains("reduce")) {
        const QStringList modes{"max", "min", "avg"};
        log->reduceMode = static_cast<int>(modes.indexOf(options.value("reduce")));
        const std::optional<double> every = parseDuration(options.value("every"));
        if (log->reduceMode < 0) {
            *error = "--reduce takes max, min or avg";
            return false;
        }
        if (!every || *every < log->intervalSec) {
            *error = "--every needs a time of at least the interval";
            return false;
        }
        if (*every > LongestInterval) {
            *error = "--every can be at most one day (1d, 86400 s)";
            return false;
        }
        log->everySec = *every;
    }
    if (options.contains("mqtt")) {
        QString why;
        log->mqtt = MqttSettings::fromUrl(options.value("mqtt"), &why);
        if (!log->mqtt) {
            *error = "--mqtt: " + why;
            return false;
        }
    }
    return rowTargetsFrom(options, true, &log->rows, error);
}

bool runLog(Context &context, const LogOptions &options, Failure *failure)
{
    Identity id;
    if (!identify(context, &id, failure))
        return false;
    const bool legacy = context.session.family() == CommandFamily::Legacy;

    // Every file is opened before the first reading: a log that cannot be
    // kept does not start.
    // Every reading counts, whether it makes a row or is folded into one.
    EnergyTally energy(id.channels, options.intervalSec);
    RowWriter writer(id.channels, options.rows.energyColumns ? &energy : nullptr);
    if (!writer.open(options.rows, QDateTime::currentDateTime(), failure))
        return false;
    energy.start();

    // Rows on the same terminal would break into the progress line; they
    // show the progress themselves.
    const bool tty = ::isatty(STDERR_FILENO) != 0 && !(options.rows.csvToStdout && ::isatty(STDOUT_FILENO) != 0);
    QTextStream err(stderr);

    // The broker sees the model: what the instrument is set to now, then
    // every reading the log takes.
    std::unique_ptr<MqttLog> mqtt;
    if (options.mqtt) {
        InstrumentState state;
        if (!readState(context, id, &state, failure)) {
            writer.close();
            return false;
        }
        noteSettings(context.session.instrument(), state);
        mqtt = std::make_unique<MqttLog>(context.session.instrument(), *options.mqtt, [&err, tty](const QString &line) {
            // Over the progress line, which the next reading draws again.
            err << (tty ? "\r\x1b[K" : "") << "qle-cli: " << line << '\n';
            err.flush();
        });
    }
    // With the rows on standard output, nothing else goes there.
    QTextStream &summary = options.rows.csvToStdout ? err : context.out;
    const qint64 ticksPerRow =
        options.reduceMode < 0 ? 1 : std::max<qint64>(1, std::llround(options.everySec / options.intervalSec));
    const qint64 totalTicks = std::max<qint64>(1, std::llround(options.durationSec / options.intervalSec));
    SampleReducer reducer;
    reducer.setMode(options.reduceMode < 0 ? 0 : options.reduceMode);

    StopSignals stopSignals;
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(static_cast<int>(std::llround(options.intervalSec * 1000)));
    QElapsedTimer clock;
    clock.start();
    qint64 ticks = 0;
    qint64 late = 0;
    bool reading = false;
    bool failed = false;
    QString lastReadings;

    const auto finish = [&] {
        ticker.stop();
        loop.quit();
    };
    stopSignals.onStop(finish);
    const auto tick = [&] {
        if (reading) {
            ++late; // the link has not finished the last reading
            return;
        }
        reading = true;
        // The row's time is when its reading began, on the wall clock: when
        // readings are skipped the log still ends after its duration.
        const double takenAt = clock.elapsed() / 1000.0;
        std::array<QString, 3> volts;
        std::array<QString, 3> amps;
        for (int ch = 0; ch < id.channels && !failed; ++ch) {
            QString error;
            const std::optional<QString> v =
                context.session.query(context.session.commands().query(query::MeasVolt1 + 2 * ch), &error);
            const std::optional<QString> a =
                v ? context.session.query(context.session.commands().query(query::MeasCurr1 + 2 * ch), &error)
                  : std::nullopt;
            if (!v || !a) {
                *failure = {LinkError, error};
                failed = true;
                break;
            }
            volts[static_cast<std::size_t>(ch)] = legacy ? StripUnit(v->trimmed(), u'V') : v->trimmed();
            amps[static_cast<std::size_t>(ch)] = legacy ? StripUnit(a->trimmed(), u'A') : a->trimmed();
            context.session.instrument().noteReading(ch, false, *v);
            context.session.instrument().noteReading(ch, true, *a);
        }
        reading = false;
        if (failed) {
            finish();
            return;
        }
        energy.add(volts, amps, std::llround(takenAt * 1000));
        const qint64 within = ticks % ticksPerRow;
        if (options.reduceMode >= 0) {
            for (int ch = 0; ch < id.channels; ++ch) {
                QString bad;
                reducer.fold(ch, static_cast<int>(within), volts[static_cast<std::size_t>(ch)],
                             amps[static_cast<std::size_t>(ch)], &bad);
            }
        }
        if (within == ticksPerRow - 1) {
            std::array<QString, 3> rowVolts = volts;
            std::array<QString, 3> rowAmps = amps;
            if (options.reduceMode >= 0) {
                for (int ch = 0; ch < id.channels; ++ch) {
                    rowVolts[static_cast<std::size_t>(ch)] = reducer.voltage(ch);
                    rowAmps[static_cast<std::size_t>(ch)] = reducer.current(ch);
                }
                reducer.reset();
            }
            if (!writer.append(rowVolts, rowAmps, takenAt, failure)) {
                failed = true;
                finish();
                return;
            }
        }
        ++ticks;
        lastReadings.clear();
        for (int ch = 0; ch < id.channels; ++ch)
            lastReadings += QStringLiteral(" CH%1 %2 V %3 A")
                                .arg(ch + 1)
                                .arg(volts[static_cast<std::size_t>(ch)], amps[static_cast<std::size_t>(ch)]);
        if (tty) {
            const double elapsed = clock.elapsed() / 1000.0;
            err << "\r" << writer.rows() << " rows, " << clockText(elapsed) << " elapsed, "
                << clockText(std::max(0.0, options.durationSec - elapsed)) << " left," << lastReadings << "\x1b[K";
            err.flush();
        }
        if (ticks >= totalTicks || clock.elapsed() / 1000.0 + options.intervalSec > options.durationSec + 1e-6)
            finish();
    };
    QObject::connect(&ticker, &QTimer::timeout, &loop, tick);
    ticker.start();
    QTimer::singleShot(0, &loop, tick);
    loop.exec();

    if (tty)
        err << '\n';
    if (mqtt)
        mqtt->finish();
    if (late > 0)
        err << "qle-cli: the link could not keep up with a reading every " << options.intervalSec << " s: " << late
            << " readings were skipped\n";
    err.flush();
    energy.stop();
    // A failed log keeps its record's rows, and the totals of what it read.
    Failure totalsFailure;
    const bool totalsSaved = writer.saveTotals(energy.totals(), &totalsFailure);
    writer.close();
    if (failed)
        return false;
    if (!totalsSaved) {
        *failure = totalsFailure;
        return false;
    }
    summary << writer.rows() << " rows"
            << (writer.recordNumber().isEmpty() ? QString() : ", record " + writer.recordNumber())
            << (stopSignals.stopped() ? ", ended by a signal" : QString()) << '\n'
            << energy.summary();
    summary.flush();
    return true;
}

} // namespace qle::cli
