// The control port's sequence, timeline and watchdog commands: the same file, check
// and runner as Function > Sequence..., and the recording's events.
#include "ControlPort.h"
#include "MDIForm1.h"
#include "recording/events/EventCsv.h"
#include "RecordingTimeline.h"
#include "SequenceControl.h"

#include <QPointer>

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

QString ControlPort::eventsSinceLastCall()
{
    const QList<RecordEvent> events = m_window.timeline().events().takeSinceLastCall();
    QString reply = QString::number(events.size());
    for (const RecordEvent &event : events)
        reply += QStringLiteral(";%1,%2,%3,%4,%5")
                     .arg(event.atMs)
                     .arg(RecordEvent::kindName(event.kind),
                          event.channel < 0 ? QString() : QString::number(event.channel + 1),
                          RecordEvent::sourceName(event.source), EventCsv::quoted(event.text));
    return reply;
}

QString ControlPort::setWatchdog(const QString &arguments)
{
    bool ok = false;
    const double seconds = arguments.trimmed().toDouble(&ok);
    if (!ok || !(seconds >= 0 && seconds <= 3600))
        return QStringLiteral("ERR expected seconds from 0 to 3600");
    if (seconds == 0)
        m_watchdog.disarm(m_server.clientInHand());
    else
        m_watchdog.arm(m_server.clientInHand(), seconds);
    return QStringLiteral("OK");
}

void ControlPort::watchdogTripped(const QString &why)
{
    m_window.ReportStatus("Watchdog: " + why + "; outputs switched off", 30000);
    m_window.timeline().events().note(RecordEvent::Kind::Mark, -1, RecordEvent::Source::Program, "watchdog: " + why);
    Instrument &model = m_window.model();
    if (model.state() != ConnectionState::Running)
        return;
    model.setOutput(false, ChangeSource::Program, [self = QPointer<ControlPort>(this)](const qle::Outcome &outcome) {
        if (self && !outcome.done())
            self->m_window.ReportStatus("Watchdog: " + outcome.text + "; the output may still be on", 30000);
    });
}

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
