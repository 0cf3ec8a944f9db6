#include "RecordingTimeline.h"

#include "DataForm.h"
#include "MDIForm1.h"
#include "recording/events/EventStore.h"
#include "recording/table/frmDataTable.h"
#include "SequenceControl.h"

#include <QLineEdit>
#include <QSqlDatabase>

namespace qle {

RecordingTimeline::RecordingTimeline(MDIForm1 &window, QObject *parent) : QObject(parent), m_window(window)
{
    Instrument *model = &window.model();
    m_events.attach(model);
    m_energy.attach(model);
    m_limits.attach(model, &m_energy);
    m_limits.setRecorder(&m_events);
    connect(&m_limits, &LimitWatcher::breached, this, &RecordingTimeline::onBreached);
    connect(&m_events, &EventRecorder::eventAdded, this, [this](const RecordEvent &event) {
        m_shownEvents.append(event);
        if (m_table)
            m_table->addEvent(event);
        emit eventAdded(event);
    });
}

RecordingTimeline::~RecordingTimeline()
{
    m_limits.detach();
    m_energy.detach();
    m_events.detach();
}

void RecordingTimeline::attachTable(frmDataTable *table)
{
    m_table = table;
    connect(table, &frmDataTable::recordingStarted, this, &RecordingTimeline::onRecordingStarted);
    connect(table, &frmDataTable::recordingStopped, this, &RecordingTimeline::onRecordingStopped);
    connect(table, &frmDataTable::recordSaved, this, &RecordingTimeline::onRecordSaved);
    connect(table, &frmDataTable::recordLoaded, this, &RecordingTimeline::onRecordLoaded);
}

void RecordingTimeline::loadLimits(const QString &model, int channels)
{
    m_limitChannels = channels;
    for (int ch = 0; ch < channels; ++ch)
        m_limits.setLimits(ch, ChannelLimits::load(model, ch));
    emit limitsChanged();
}

QList<ChannelTotal> RecordingTimeline::currentTotals() const
{
    return m_events.isRunning() ? m_energy.totals() : m_shownTotals;
}

QList<GraphMarks::LimitLine> RecordingTimeline::limitLines() const
{
    QList<GraphMarks::LimitLine> lines;
    for (int ch = 0; ch < m_limitChannels; ++ch) {
        const ChannelLimits limits = m_limits.limits(ch);
        for (const LimitKind kind :
             {LimitKind::VoltageLow, LimitKind::VoltageHigh, LimitKind::CurrentLow, LimitKind::CurrentHigh}) {
            if (const std::optional<Limit> &limit = limits[kind])
                lines.append({kind == LimitKind::CurrentLow || kind == LimitKind::CurrentHigh, limit->value,
                              RecordEvent::channelLabel(ch) + ' ' + ChannelLimits::kindName(kind)});
        }
    }
    return lines;
}

bool RecordingTimeline::mark(const QString &text, RecordEvent::Source source)
{
    return m_events.mark(text, source);
}

void RecordingTimeline::onRecordingStarted()
{
    // Readings further apart than two reading periods are a gap.
    m_energy.setGapLimitMs(2 * static_cast<qint64>(m_window.QueryTimer.interval()));
    m_shownEvents.clear();
    m_shownTotals.clear();
    if (m_table)
        m_table->showEvents({});
    m_energy.reset();
    m_energy.start();
    m_limits.rearm();
    m_events.start(RecordEvent::Source::User);
    emit shownChanged();
}

void RecordingTimeline::onRecordingStopped()
{
    if (!m_events.isRunning())
        return;
    m_events.stop(RecordEvent::Source::User);
    m_energy.stop();
    m_shownTotals = m_energy.totals();
    emit shownChanged();
}

void RecordingTimeline::onRecordSaved(const QString &recNo)
{
    // A recording saved while it runs keeps what it has so far.
    if (m_events.isRunning())
        m_shownTotals = m_energy.totals();
    EventStore store(QSqlDatabase::database(DataForm::ConnectionName));
    if (!store.save(recNo, m_shownEvents, m_shownTotals))
        m_window.ReportStatus("The record's events were not saved: " + store.lastError().text(), 10000);
}

void RecordingTimeline::onRecordLoaded()
{
    m_shownEvents.clear();
    m_shownTotals.clear();
    const QString recNo = m_table ? m_table->txtRecno->text().trimmed() : QString();
    EventStore store(QSqlDatabase::database(DataForm::ConnectionName));
    if (!recNo.isEmpty() && (!store.loadEvents(recNo, &m_shownEvents) || !store.loadTotals(recNo, &m_shownTotals)))
        m_window.ReportStatus("The record's events could not be read: " + store.lastError().text(), 10000);
    if (m_table)
        m_table->showEvents(m_shownEvents);
    emit shownChanged();
}

void RecordingTimeline::onBreached(int, LimitKind, LimitAction action, const QString &text)
{
    m_window.ReportStatus("Limit: " + text, 10000);
    switch (action) {
    case LimitAction::StopRecording:
        if (m_table && m_table->isRecording())
            m_table->EndRecordData(0);
        break;
    case LimitAction::StopSequence:
        if (m_window.sequence().isRunning())
            m_window.sequence().runner().stop();
        break;
    case LimitAction::OutputOff: // the watcher switches it off itself
    case LimitAction::MarkOnly:
        break;
    }
}

} // namespace qle
