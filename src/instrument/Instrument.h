#pragma once

#include "comm/CommTasker.h"
#include "comm/CommTaskerHost.h"
#include "InstrumentLink.h"
#include "protocol/CatalogueRow.h"
#include "protocol/Commands.h"
#include "protocol/DeviceCommands.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qle {

class GpibDevice;
class ISettingsStore;

// Where a connection stands. The numbers are the main window's state
// numbers, which scripts read over the control port.
enum class ConnectionState { Idle = 0, Identifying = 1, ReadingSettings = 2, Running = 3 };

// Who caused a change: a person at a panel, the instrument (seen by
// polling), a script (control port, command line), the program itself.
enum class ChangeSource { User, Instrument, Script, Program };

// How an operation ended, for its caller to show or answer as it sees fit.
struct Outcome {
    enum class Kind { Done, Refused, InstrumentError, LinkLost };
    Kind kind = Kind::Done;
    QString text; // the reason, the instrument's error, or a query's reply

    [[nodiscard]] bool done() const { return kind == Kind::Done; }
    static Outcome ok(const QString &text = {}) { return {Kind::Done, text}; }
    static Outcome refused(const QString &reason) { return {Kind::Refused, reason}; }
};
using OutcomeHandler = std::function<void(const Outcome &)>;

// A measured value as the instrument sent it, with when it arrived on the
// monotonic clock.
struct Reading {
    QString text;
    double value = 0;
    qint64 atMs = -1;
};

// What is known of one output.
struct ChannelState {
    std::optional<double> setVoltage;
    std::optional<double> setCurrent;
    std::optional<double> overVoltage;
    std::optional<bool> overCurrentProtection;
    std::optional<Reading> voltage;
    std::optional<Reading> current;
};

// One connected instrument: its link and engine, its identity and catalogue
// limits, and its typed state, fed by whatever reads it (polling, the
// panels' reply readers, operations) and changed only through typed
// operations that check limits before anything is sent. No windows: the
// outcome of each operation goes back to its caller, which decides what to
// show. Instances share nothing, so one process can drive several.
class Instrument final : public QObject, public ICommTaskerHost {
    Q_OBJECT
public:
    // Finds a catalogue row by model name ("KMA-3303T", "KMA-3303T#2").
    using CatalogueLookup = std::function<const CatalogueRow *(const QString &mtype)>;

    // An instrument with an engine of its own.
    explicit Instrument(QObject *parent = nullptr);
    // The model of an instrument whose engine, link and time-out belong to
    // its owner (the main window): it is fed and asked, its operations send
    // through that engine.
    explicit Instrument(CommTasker &engine, QObject *parent = nullptr);
    ~Instrument() override;

    [[nodiscard]] CommTasker &engine() { return *m_engine; }
    [[nodiscard]] const CommTasker &engine() const { return *m_engine; }
    // What the engine made of the last lost link ("" for a reply that did
    // not come in time).
    [[nodiscard]] QString linkLossCause() const { return m_linkLossCause; }

    // Opens the link; `done` as openInstrumentLink.
    void open(const LinkOptions &link, const ISettingsStore &settings,
              const std::function<void(const QString &)> &done);
    [[nodiscard]] const LinkOptions &link() const { return m_link; }
    // Opens the same link again after it was lost, keeping what is known of
    // the instrument; `done` as openInstrumentLink.
    void reopen(const ISettingsStore &settings, const std::function<void(const QString &)> &done);
    // The link an owner's engine was opened on (the pace of a sequence
    // depends on it).
    void setLink(const LinkOptions &link) { m_link = link; }

    // "*IDN?", then the model looked up: Done with the model, or the reason.
    void identify(const CatalogueLookup &catalogue, const OutcomeHandler &done);
    // Takes a model identified elsewhere.
    void useModel(const QString &model, const CatalogueLookup &catalogue);
    [[nodiscard]] QString model() const { return m_model; }
    [[nodiscard]] QString identity() const { return m_identity; }
    // The identification reply of a model identified elsewhere.
    void setIdentity(const QString &reply) { m_identity = reply; }
    // "*IDN?" on a link just reopened, whatever the state: Done with the
    // reply, which changes nothing here; LinkLost when none came.
    void askIdentity(const OutcomeHandler &done);
    [[nodiscard]] CommandFamily family() const { return m_family; }
    [[nodiscard]] const Commands &commands() const { return m_commands; }
    [[nodiscard]] int layout() const { return m_layout; }
    [[nodiscard]] int channelCount() const { return static_cast<int>(m_channels.size()); }

    [[nodiscard]] ConnectionState state() const { return m_state; }
    void setState(ConnectionState state);

    // The settable range of a channel's quantity (0-based channel); nothing
    // when the model has no such setting. Over-current protection is a
    // switch: 0 off, 1 on.
    struct Range {
        double minimum = 0;
        double maximum = 0;
    };
    [[nodiscard]] std::optional<Range> range(int channel, ChannelSetting setting) const;
    // Why `value` cannot be set; nothing when it can.
    [[nodiscard]] std::optional<QString> whyNot(int channel, ChannelSetting setting, double value) const;
    // True while the coupling or a running auto-run leaves the setting to
    // the instrument: under parallel or track coupling the following
    // channel's values are taken from the leading one.
    [[nodiscard]] bool isLocked(int channel, ChannelSetting setting) const;
    // A set value as the panel shows it (the catalogue's pattern); empty
    // while it is not known.
    [[nodiscard]] QString settingText(int channel, ChannelSetting setting) const;

    // State.
    [[nodiscard]] const ChannelState &channel(int index) const;
    [[nodiscard]] std::optional<bool> output() const { return m_output; }
    [[nodiscard]] std::optional<Coupling> coupling() const { return m_coupling; }
    [[nodiscard]] std::optional<bool> autoRun() const { return m_autoRun; }
    [[nodiscard]] std::optional<int> memory() const { return m_memory; }
    [[nodiscard]] QString lastError() const { return m_lastError; }

    // What was seen or done elsewhere: a reply read by polling, an edit sent
    // by a panel. Each emits its change signal when the value changed.
    void noteSetting(int channel, ChannelSetting setting, double value, ChangeSource source);
    void noteReading(int channel, bool current, const QString &text, ChangeSource source = ChangeSource::Instrument);
    void noteOutput(bool on, ChangeSource source);
    void noteCoupling(Coupling coupling, ChangeSource source);
    void noteAutoRun(bool on, ChangeSource source);
    void noteMemory(int memory, ChangeSource source);
    void noteError(const QString &text, ChangeSource source = ChangeSource::Instrument);
    // Back to nothing known, as after a new connection.
    void forget();

    // How a command's refusal is found. Scripts read the error queue right
    // after the command, so that `done` is told; the panels leave it to
    // polling, which reads the queue in its cycle and acts on what it finds,
    // so a panel edit puts on the wire only the command itself.
    enum class ErrorCheck { AfterCommand, ByPolling };

    // Operations. Each checks what it can before sending, sends the
    // panels' own command texts, and with ErrorCheck::AfterCommand on an
    // instrument with an error queue reads it right after. ByPolling is done
    // once the command is queued.
    void setChannel(int channel, ChannelSetting setting, double value, ChangeSource source, OutcomeHandler done,
                    ErrorCheck check = ErrorCheck::AfterCommand);
    void setOutput(bool on, ChangeSource source, OutcomeHandler done, ErrorCheck check = ErrorCheck::AfterCommand);
    void setCoupling(Coupling coupling, ChangeSource source, OutcomeHandler done,
                     ErrorCheck check = ErrorCheck::AfterCommand);
    void saveMemory(int memory, ChangeSource source, OutcomeHandler done, ErrorCheck check = ErrorCheck::AfterCommand);
    void recallMemory(int memory, ChangeSource source, OutcomeHandler done,
                      ErrorCheck check = ErrorCheck::AfterCommand);
    // Asks for channel `channel`'s two readings; Done once both arrived.
    void measure(int channel, const OutcomeHandler &done);
    // A raw line: a query's reply in the outcome's text.
    void sendLine(const QString &line, ChangeSource source, OutcomeHandler done);

    static constexpr int FirstMemory = 1;
    static constexpr int LastMemory = 4;

    // What the engine asks of its host.
    void ReportStatus(const QString &msg, int msec) override;
    [[nodiscard]] bool isQueryTimerEnabled() const override { return m_pollingTimed; }
    void DevSetupMachineType2() override {}
    // True while polling is timed by the engine's read-times watch.
    void setPollingTimed(bool timed) { m_pollingTimed = timed; }

signals:
    void stateChanged(ConnectionState state);
    // A model was taken (useModel, identify): its name, channels and limits.
    void modelChanged(const QString &model);
    void settingChanged(int channel, ChannelSetting setting, ChangeSource source);
    void readingChanged(int channel, bool current);
    void outputChanged(bool on, ChangeSource source);
    void couplingChanged(Coupling coupling, ChangeSource source);
    void autoRunChanged(bool on, ChangeSource source);
    void memoryChanged(int memory, ChangeSource source);
    // recallMemory sent its command (after memoryChanged); a save is not a recall.
    void memoryRecalled(int memory, ChangeSource source);
    void errorChanged(const QString &text, ChangeSource source);
    void statusReported(const QString &text);
    // The link went (a time-out, the port closed); every awaited reply has
    // been answered with LinkLost.
    void linkLost(const QString &cause);

public slots:
    // The engine's time-out routine, called by name.
    void onTimeout();

private:
    // Queues `command` and, on the colon family, the error read after it.
    void sendCommand(const QString &command, const OutcomeHandler &done, const std::function<void()> &applied,
                     ErrorCheck check = ErrorCheck::AfterCommand);
    // A query whose reply goes to `take`; false when the engine refused it.
    // `errorsOfCommand`: the error-queue read right after a command, ahead of
    // any polling has queued.
    bool ask(const QString &query, std::function<void(const QString &)> take, OutcomeHandler lost,
             bool errorsOfCommand = false);
    [[nodiscard]] std::optional<QString> cannotSend() const;

public:
    // Why `memory` cannot be saved or recalled; nothing when it can.
    [[nodiscard]] std::optional<QString> whyNoMemory(int memory) const;

private:
    [[nodiscard]] const CatalogueRow *channelRow(int channel) const;

    std::unique_ptr<CommTasker> m_ownEngine;
    CommTasker *m_engine;
    std::unique_ptr<GpibDevice> m_gpib;
    LinkOptions m_link;
    CatalogueLookup m_catalogue;
    Commands m_commands;
    CommandFamily m_family = CommandFamily::Colon;
    QString m_model;
    QString m_identity;
    int m_layout = 0;
    ConnectionState m_state = ConnectionState::Idle;
    QList<ChannelState> m_channels;
    std::optional<bool> m_output;
    std::optional<Coupling> m_coupling;
    std::optional<bool> m_autoRun;
    std::optional<int> m_memory;
    QString m_lastError;
    QString m_linkLossCause;
    bool m_pollingTimed = false;
};

} // namespace qle
