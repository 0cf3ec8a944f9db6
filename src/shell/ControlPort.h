#pragma once

#include "comm/LineServer.h"
#include "ControlWatchdog.h"
#include "protocol/DeviceCommands.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace qle {

class MDIForm1;
class frmDataTable;
struct Outcome;

// Scripts drive the running program over a local TCP port, one command a
// line and one reply line each (see README). Every command goes through the
// windows as a user's would: the panel's fields, limits and echo rule, the
// record commands, the engine's queues. Every command's reply comes from
// the outcome of what it called; no box is asked or answered for it, and a
// box that comes up meanwhile belongs to whoever is at the screen.
class ControlPort final : public QObject {
    Q_OBJECT
public:
    explicit ControlPort(MDIForm1 &window, QObject *parent = nullptr);
    ~ControlPort() override;

    bool listen(quint16 port);
    [[nodiscard]] quint16 port() const { return m_server.port(); }
    [[nodiscard]] QString errorString() const { return m_server.errorString(); }

public slots:
    // A raw query's reply, delivered by name by the engine.
    void takeReply(const QString &reply);

private:
    // The reply to one command line: now, or later through finish().
    struct Outcome {
        QString reply;
        bool deferred = false;
    };

    void onLine(const QString &line);
    Outcome run(const QString &word, const QString &arguments);
    Outcome connectAgain();
    // VOLT, CURR, OVP, OUTP, COUP: read and applied by SetCommand.
    Outcome setCommand(const QString &word, const QString &arguments);
    // Runs one of the model's operations; its outcome is the reply, now or
    // once it comes.
    Outcome byModel(const std::function<void(std::function<void(const qle::Outcome &)>)> &operation);
    Outcome readSetting(ChannelSetting setting, const QString &arguments);
    Outcome measure(bool current, const QString &arguments);
    Outcome measurePower(const QString &arguments);
    // "N" then each event since the last EVT? as ";ms,kind,channel,source,\"text\"".
    [[nodiscard]] QString eventsSinceLastCall();
    // WDOG S (0 < S <= 3600): this client's watchdog; WDOG 0 ends it.
    [[nodiscard]] QString setWatchdog(const QString &arguments);
    // Every output off, an event and the status line.
    void watchdogTripped(const QString &why);
    // Milliseconds since `atMs` on the monotonic clock.
    [[nodiscard]] static QString ageText(qint64 atMs);
    Outcome setupRecording(const QString &arguments);
    Outcome startRecording(const QString &arguments);
    Outcome saveRecording(const QString &arguments);
    Outcome loadRecording(const QString &arguments);
    Outcome sendRaw(const QString &arguments);
    // SEQ:LOAD, SEQ:CHEC?, SEQ:RUN, SEQ:PAUS, SEQ:STOP, SEQ:STAT?: the
    // window's sequence, loaded, checked and run as its window does.
    Outcome sequenceCommand(const QString &word, const QString &argument);
    // Waits (without blocking) until `done` holds, then replies with `reply()`;
    // after `limitMs`, with `ERR` and `timeoutText`.
    Outcome waitUntil(std::function<bool()> done, std::function<QString()> reply, int limitMs,
                      const QString &timeoutText);
    void finish(const QString &reply);
    [[nodiscard]] int channelArgument(const QString &text, QString *error) const;
    [[nodiscard]] bool linkLost() const;
    [[nodiscard]] bool running() const;
    // "ERR link lost" while a lost link is reported, else "ERR no panel".
    [[nodiscard]] QString notRunningError() const;
    // The table recorder when it is there and not recording, else nullptr and *error.
    [[nodiscard]] frmDataTable *stoppedRecorder(QString *error) const;

    MDIForm1 &m_window;
    LineServer m_server;
    ControlWatchdog m_watchdog;
    QTimer m_poll;
    QTimer m_limit;
    std::function<bool()> m_done;
    std::function<QString()> m_doneReply;
    QString m_timeoutText;
    bool m_awaitingRaw = false;
    quint64 m_modelCall = 0;
    QString m_rawReply;
};

} // namespace qle
