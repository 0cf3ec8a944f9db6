#pragma once

#include "instrument/Instrument.h"
#include "ModeDetector.h"
#include "RecordEvent.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>

#include <array>
#include <optional>

namespace qle {

// Turns an instrument's changes into the events of a recording while one
// runs: outputs switched (and switched off by the instrument itself), set
// values with their old and new value, coupling, memories, instrument
// errors, constant voltage / constant current as the readings show it, the
// link lost and back. Others report what the instrument cannot tell (marks,
// sequence steps, limit breaches) through mark() and note().
//
// Times come from platform::clock(): atMs counts from start(), and the
// wall clock of an event is the wall clock at the start plus atMs.
class EventRecorder final : public QObject {
    Q_OBJECT
public:
    using Source = RecordEvent::Source;
    using Kind = RecordEvent::Kind;

    // How many events takeSinceLastCall keeps when nobody asks; the oldest
    // go first.
    static constexpr int PendingLimit = 1000;

    explicit EventRecorder(QObject *parent = nullptr);
    ~EventRecorder() override;

    // Listens to one instrument; what it knows now is the "old" of the next
    // change.
    void attach(Instrument *instrument);
    void detach();
    [[nodiscard]] Instrument *instrument() const { return m_instrument; }

    // Begins a recording's events with RecordingStart (the list emptied).
    // `wallStart` is the wall clock of the recording's start as its header
    // shows it; invalid takes the current time.
    void start(Source source = Source::User, const QDateTime &wallStart = {});
    // RecordingStop; the events stay until the next start or clear().
    void stop(Source source = Source::User);
    [[nodiscard]] bool isRunning() const { return m_running; }
    void clear();

    // Changes the model reports as made by a script are put down with this
    // source: Sequence while a sequence runs (its steps go through the
    // model as a script's), Script otherwise.
    void setScriptSource(Source source) { m_scriptSource = source; }
    [[nodiscard]] static Source sourceOf(ChangeSource source);

    // The constant-voltage / constant-current edges.
    void setModeThresholds(const ModeDetector::Thresholds &thresholds);

    // A user's note. False (nothing kept) while no recording runs.
    bool mark(const QString &text, Source source = Source::User);
    // An event reported from elsewhere (a sequence step, a limit breach).
    // `atMonotonicMs`: when it happened on platform::clock() in ms (a
    // reading's time), now when empty.
    bool note(Kind kind, int channel, Source source, const QString &text,
              std::optional<qint64> atMonotonicMs = std::nullopt);

    // The recording's events so far, in order.
    [[nodiscard]] const QList<RecordEvent> &events() const { return m_events; }
    // The events since the last call (for the control port's EVT?).
    QList<RecordEvent> takeSinceLastCall();

    // Ms since start() on platform::clock(); 0 while not running.
    [[nodiscard]] qint64 elapsedMs() const;

    // "CH1 voltage 5 → 6 V", "CH2 over-current protection off → on"; an
    // unknown old value leaves "CH1 voltage → 6 V".
    [[nodiscard]] static QString setValueText(int channel, ChannelSetting setting, std::optional<double> oldValue,
                                              double newValue);
    // "independent", "parallel", "track".
    [[nodiscard]] static QString couplingName(Coupling coupling);
    // A number with a point, at most 12 significant digits, no trailing zeros.
    [[nodiscard]] static QString number(double value);

signals:
    void eventAdded(const qle::RecordEvent &event);

private:
    void onSetting(int channel, ChannelSetting setting, ChangeSource source);
    void onOutput(bool on, ChangeSource source);
    void onReading(int channel, bool current);
    void onCoupling(Coupling coupling, ChangeSource source);
    void onMemory(int memory, ChangeSource source);
    void onRecalled(int memory, ChangeSource source);
    void onError(const QString &text, ChangeSource source);
    void onLinkLost(const QString &cause);
    void onState(ConnectionState state);
    void rememberState();
    void resetModes();
    void add(Kind kind, int channel, Source source, const QString &text, qint64 atMonotonicMs);
    [[nodiscard]] Source by(ChangeSource source) const;
    [[nodiscard]] static qint64 nowMs();

    static constexpr int SettingCount = 4;
    using Settings = std::array<std::optional<double>, SettingCount>;

    QPointer<Instrument> m_instrument;
    QList<QMetaObject::Connection> m_connections;
    QList<Settings> m_settings;
    QList<ModeDetector> m_modes;
    ModeDetector::Thresholds m_thresholds;
    std::optional<bool> m_output;
    std::optional<Coupling> m_coupling;
    std::optional<int> m_memory;
    bool m_linkDown = false;
    bool m_running = false;
    Source m_scriptSource = Source::Script;
    qint64 m_startMs = 0;
    QDateTime m_wallStart;
    QList<RecordEvent> m_events;
    QList<RecordEvent> m_pending;
};

} // namespace qle
