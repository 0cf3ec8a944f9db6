// qle-cli run: a sequence file checked against the identified model, then
// run by the sequence runner in the program's one event loop, its log on
// standard error as it goes. A signal stops the run as the file's end
// action says.
#include "RunCommand.h"

#include "EnergyTally.h"
#include "LogCommand.h"
#include "RunRecorder.h"
#include "StopSignals.h"

#include "sequence/SequenceLoader.h"
#include "sequence/SequenceRunner.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>

#include <memory>
#include <optional>

namespace qle::cli {
namespace {

using sequence::Diagnostic;
using sequence::SequenceRunner;
using sequence::Step;

bool fail(Failure *failure, Exit status, const QString &message)
{
    *failure = {status, message};
    return false;
}

// "FILE:3:15: message", or "FILE: message" for what belongs to no line.
void printDiagnostics(const QString &file, const QList<Diagnostic> &diagnostics)
{
    QTextStream err(stderr);
    for (const Diagnostic &diagnostic : diagnostics)
        err << file << (diagnostic.at.line > 0 ? ":" : ": ") << diagnostic.text() << '\n';
}

QString faultCount(qsizetype faults)
{
    return faults == 1 ? QStringLiteral("1 fault") : QStringLiteral("%1 faults").arg(faults);
}

bool hasRecordStep(const std::vector<Step> &steps)
{
    for (const Step &step : steps) {
        if (std::holds_alternative<sequence::RecordStep>(step.action))
            return true;
        if (const auto *repeat = std::get_if<sequence::RepeatStep>(&step.action); repeat && hasRecordStep(repeat->body))
            return true;
    }
    return false;
}

} // namespace

bool runOptionsFrom(const QMap<QString, QString> &options, const QStringList &words, RunOptions *run, QString *error)
{
    if (words.size() != 1) {
        *error = words.isEmpty() ? "run needs the sequence file: run FILE" : "run takes one file";
        return false;
    }
    run->file = words.first();
    run->checkOnly = options.contains("check");
    if (!rowTargetsFrom(options, false, &run->rows, error))
        return false;
    for (const QString &name : {QStringLiteral("interval"), QStringLiteral("energy")}) {
        if (options.contains(name) && !run->records()) {
            *error = "--" + name + " goes with --csv or --record";
            return false;
        }
    }
    return intervalFrom(options, &run->intervalSec, error);
}

bool loadRunProgram(const RunOptions &options, sequence::Program *program, Failure *failure)
{
    QFile file(options.file);
    if (!file.open(QIODevice::ReadOnly))
        return fail(failure, FileError, "cannot read " + options.file + ": " + file.errorString());
    const sequence::LoadResult loaded = sequence::loadSequence(QString::fromUtf8(file.readAll()));
    if (!loaded.ok()) {
        printDiagnostics(options.file, loaded.diagnostics);
        return fail(
            failure, Usage,
            QStringLiteral("%1 in %2; nothing was sent").arg(faultCount(loaded.diagnostics.size()), options.file));
    }
    *program = loaded.program;
    return true;
}

bool runSequence(Context &context, const RunOptions &options, const sequence::Program &program, Failure *failure)
{
    QTextStream err(stderr);
    Identity id;
    if (!identify(context, &id, failure))
        return false;
    Instrument &instrument = context.session.instrument();
    // Counts every reading the model receives while the run records.
    EnergyTally energy(id.channels, options.intervalSec);
    energy.attach(&instrument);
    RowWriter writer(id.channels, options.rows.energyColumns ? &energy : nullptr);
    std::unique_ptr<RunRecorder> recorder;
    if (options.records())
        recorder = std::make_unique<RunRecorder>(instrument, writer, energy, options.intervalSec);
    SequenceRunner runner(instrument, recorder.get());

    const sequence::CheckResult checked = runner.check(program);
    if (!checked.ok()) {
        printDiagnostics(options.file, checked.diagnostics);
        return fail(failure, Usage,
                    QStringLiteral("%1 in %2 for %3; nothing was sent")
                        .arg(faultCount(checked.diagnostics.size()), options.file, id.model));
    }
    if (options.checkOnly) {
        context.out << checked.summary() << '\n';
        context.out.flush();
        return true;
    }
    if (!writer.open(options.rows, QDateTime::currentDateTime(), failure))
        return false;

    QObject::connect(&runner, &SequenceRunner::logged, &runner, [&err](const sequence::RunLogEntry &entry) {
        err << entry.format() << '\n';
        err.flush();
    });
    std::optional<Failure> writeFailure;
    if (recorder) {
        // Told from a reading's outcome: the run stops once that is over.
        recorder->onFailure([&](const Failure &why) {
            writeFailure = why;
            QMetaObject::invokeMethod(&runner, &SequenceRunner::stop, Qt::QueuedConnection);
        });
    }
    StopSignals stopSignals;
    stopSignals.onStop([&runner] { runner.stop(); });
    QEventLoop loop;
    QObject::connect(&runner, &SequenceRunner::finished, &loop, &QEventLoop::quit);

    if (recorder)
        recorder->start();
    const sequence::CheckResult started = runner.start(program);
    if (!started.ok()) {
        printDiagnostics(options.file, started.diagnostics);
        return fail(failure, LinkError, "the run did not start");
    }
    // A file without record steps is recorded from start to end.
    if (recorder && !hasRecordStep(program.steps))
        recorder->startRecording();
    // Every signal of the run, its end too, comes once the loop runs.
    loop.exec();
    if (recorder)
        recorder->stopRecording();

    bool settled = true;
    QString settleError;
    if (runner.endReason() != SequenceRunner::EndReason::LinkLost)
        settled = context.session.settle(&settleError);
    if (recorder && !writeFailure) {
        Failure totalsFailure;
        if (!writer.saveTotals(energy.totals(), &totalsFailure))
            writeFailure = totalsFailure;
    }
    writer.close();
    if (recorder) {
        if (recorder->skipped() > 0)
            err << "qle-cli: " << recorder->skipped() << " readings every " << options.intervalSec
                << " s were not taken: the link was still busy, or a reading did not come back\n";
        // With the rows on standard output, nothing else goes there.
        QTextStream &summary = options.rows.csvToStdout ? err : context.out;
        summary << writer.rows() << " rows"
                << (writer.recordNumber().isEmpty() ? QString() : ", record " + writer.recordNumber()) << '\n'
                << energy.summary();
        summary.flush();
    }
    err.flush();

    if (writeFailure)
        return fail(failure, writeFailure->status, writeFailure->message);
    if (runner.endReason() != SequenceRunner::EndReason::Completed) {
        const QString why = stopSignals.stopped() ? "ended by a signal: " + runner.endText() : runner.endText();
        return fail(failure, LinkError, why);
    }
    if (!settled)
        return fail(failure, LinkError, "the last commands did not leave: " + settleError);
    return true;
}

} // namespace qle::cli
