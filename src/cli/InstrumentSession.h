#pragma once

#include "comm/CommTasker.h"
#include "comm/CommTaskerHost.h"
#include "instrument/InstrumentLink.h"
#include "protocol/Commands.h"
#include "protocol/DeviceCommands.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;

namespace qle {

class GpibDevice;
class ISettingsStore;

// The engine the main program uses, driven one exchange at a time for a
// program without windows: every query and command goes through CommTasker,
// and each call returns when its exchange is over.
class InstrumentSession final : public QObject, public ICommTaskerHost {
    Q_OBJECT
public:
    InstrumentSession();
    ~InstrumentSession() override;

    // False with *error naming the cause when the link cannot be opened.
    bool open(const LinkOptions &link, const ISettingsStore &settings, QString *error);

    // The reply line, or nothing with *error set (time-out, link closed).
    std::optional<QString> query(const QString &text, QString *error);
    // Written, or false with *error set.
    bool command(const QString &text, QString *error);

    // After "*IDN?": the model, and the command family it speaks.
    void useModel(const QString &model);
    [[nodiscard]] const Commands &commands() const { return m_commands; }
    [[nodiscard]] CommandFamily family() const { return m_family; }
    [[nodiscard]] CommTasker &engine() { return m_engine; }

    // What the engine asks of its host.
    void ReportStatus(const QString &msg, int msec) override;
    [[nodiscard]] bool isQueryTimerEnabled() const override { return false; }
    void DevSetupMachineType2() override {}

public slots:
    // The engine's time-out routine, called by name.
    void OnTimeout();
    // Where a query's reply arrives, called by name.
    void setReply(const QString &reply);

private:
    enum class Awaiting { Reply, Write };
    // Runs the event loop until `done` holds; false with *error set when the
    // engine timed out or gave up the link first.
    bool waitFor(const std::function<bool()> &done, Awaiting awaiting, QString *error);
    // Why the exchange ended early: the link closed by the other end, the
    // engine's cause, or a time-out of what was awaited.
    [[nodiscard]] QString failureText(Awaiting awaiting) const;
    // The serial port or TCP socket is no longer open.
    [[nodiscard]] bool linkClosed() const;
    // Until the link has sent what was written to it.
    bool drainOutput(QString *error);

    CommTasker m_engine;
    Commands m_commands;
    CommandFamily m_family = CommandFamily::Colon;
    std::unique_ptr<GpibDevice> m_gpib;
    LinkOptions m_link;
    std::optional<QString> m_reply;
    bool m_timedOut = false;
    // The engine's cause of a given-up link, taken while the time-out
    // routine runs: the engine forgets it right after.
    QString m_lostCause;
    QEventLoop *m_waiting = nullptr;
};

} // namespace qle
