// The control port's EVT? and WDOG: the recording's events since the last
// call, and a script's watchdog.
#include "ControlPort.h"
#include "instrument/Instrument.h"
#include "MDIForm1.h"
#include "recording/events/EventCsv.h"
#include "RecordingTimeline.h"

#include <QPointer>

namespace qle {

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

} // namespace qle
