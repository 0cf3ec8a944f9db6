#pragma once

#include "recording/events/ChannelLimits.h"
#include "recording/events/EnergyCounter.h"
#include "recording/events/EventRecorder.h"
#include "recording/events/LimitWatcher.h"
#include "recording/graph/GraphMarks.h"

#include <QObject>
#include <QPointer>

namespace qle {

class MDIForm1;
class frmDataTable;

// What a recording adds up and notes beside its rows: each channel's charge
// and energy from every reading, the events of the instrument, the user,
// scripts and sequences, and the limits that act. It follows the table
// recorder: counting from its start to its stop, saved with the record and
// loaded with it.
class RecordingTimeline final : public QObject {
    Q_OBJECT
public:
    explicit RecordingTimeline(MDIForm1 &window, QObject *parent = nullptr);
    ~RecordingTimeline() override;

    // The table recorder of a new panel.
    void attachTable(frmDataTable *table);
    // The limits of the connected model, from the settings.
    void loadLimits(const QString &model, int channels);

    // A note on the timeline; false while no recording runs.
    bool mark(const QString &text, RecordEvent::Source source = RecordEvent::Source::User);

    [[nodiscard]] EventRecorder &events() { return m_events; }
    [[nodiscard]] EnergyCounter &energy() { return m_energy; }
    [[nodiscard]] LimitWatcher &limits() { return m_limits; }
    // The events and totals of the rows shown: the recording's, or a
    // loaded record's.
    [[nodiscard]] const QList<RecordEvent> &shownEvents() const { return m_shownEvents; }
    [[nodiscard]] const QList<ChannelTotal> &shownTotals() const { return m_shownTotals; }
    // The totals so far while recording, else the ones shown.
    [[nodiscard]] QList<ChannelTotal> currentTotals() const;
    // The voltage and current limits as the graph draws them.
    [[nodiscard]] QList<GraphMarks::LimitLine> limitLines() const;

signals:
    // The rows shown have other events or totals (a recording started, a
    // record loaded).
    void shownChanged();
    void eventAdded(const qle::RecordEvent &event);
    void limitsChanged();

private:
    void onRecordingStarted();
    void onRecordingStopped();
    void onRecordSaved(const QString &recNo);
    void onRecordLoaded();
    void onBreached(int channel, LimitKind kind, LimitAction action, const QString &text);

    MDIForm1 &m_window;
    QPointer<frmDataTable> m_table;
    EventRecorder m_events;
    EnergyCounter m_energy;
    LimitWatcher m_limits;
    QList<RecordEvent> m_shownEvents;
    QList<ChannelTotal> m_shownTotals;
    int m_limitChannels = 0;
};

} // namespace qle
