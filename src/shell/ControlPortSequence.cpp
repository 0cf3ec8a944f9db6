// The control port's sequence commands: the same file, check and runner as
// Function > Sequence...
#include "ControlPort.h"
#include "MDIForm1.h"
#include "SequenceControl.h"

namespace qle {
namespace {

// The faults of a file or a check on one line: "3:15: ...; 7:1: ...".
QString faultsText(const QList<sequence::Diagnostic> &diagnostics)
{
    QStringList parts;
    for (const sequence::Diagnostic &d : diagnostics)
        parts.append(d.text());
    return "ERR " + parts.join(QStringLiteral("; "));
}

} // namespace

ControlPort::Outcome ControlPort::sequenceCommand(const QString &word, const QString &argument)
{
    SequenceControl &control = m_window.sequence();
    sequence::SequenceRunner &runner = control.runner();
    if (word == "SEQ:LOAD") {
        if (runner.isActive())
            return {"ERR a sequence is running"};
        if (argument.isEmpty())
            return {"ERR expected a file path"};
        const sequence::LoadResult loaded = control.loadFile(argument);
        return {loaded.ok() ? QStringLiteral("OK") : faultsText(loaded.diagnostics)};
    }
    if (word == "SEQ:CHEC?") {
        const std::optional<sequence::CheckResult> checked = control.check();
        if (!checked)
            return {"ERR " + control.whyNotChecked()};
        return {checked->ok() ? "OK " + checked->summary() : faultsText(checked->diagnostics)};
    }
    if (word == "SEQ:RUN") {
        if (runner.state() == sequence::SequenceRunner::State::Paused) {
            runner.resume();
            return {"OK"};
        }
        if (runner.isActive())
            return {"ERR running already"};
        const sequence::CheckResult started = control.run();
        return {started.ok() ? QStringLiteral("OK") : faultsText(started.diagnostics)};
    }
    if (word == "SEQ:PAUS" || word == "SEQ:STOP") {
        if (!runner.isActive())
            return {"ERR no sequence running"};
        if (word == "SEQ:STOP")
            runner.stop();
        else
            runner.pause();
        return {"OK"};
    }
    if (word == "SEQ:STAT?") {
        QString reply = QStringLiteral("%1,%2,%3")
                            .arg(sequence::SequenceRunner::stateName(runner.state()))
                            .arg(runner.currentLine())
                            .arg(runner.elapsedSec(), 0, 'f', 1);
        // How a run ended, once it has.
        if (!runner.isActive() && !runner.endText().isEmpty())
            reply += ",\"" + runner.endText() + '"';
        return {reply};
    }
    return {"ERR unknown command"};
}

} // namespace qle
