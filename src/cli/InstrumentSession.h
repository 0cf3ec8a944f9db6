#pragma once

#include "instrument/Instrument.h"
#include "protocol/Commands.h"
#include "protocol/DeviceCommands.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;

namespace qle {

class ISettingsStore;

// The instrument model the main program uses, driven one exchange at a time
// for a program without windows: the link is opened and the instrument
// identified by the model, every query and command goes through its engine,
// and each call returns when its exchange is over.
class InstrumentSession final : public QObject {
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

    // "*IDN?" through the model: Done with the model name, or why not (an
    // unknown model leaves the reply in instrument().identity()).
    Outcome identify(const Instrument::CatalogueLookup &catalogue);
    // Runs one of the model's operations until its outcome.
    Outcome await(const std::function<void(OutcomeHandler)> &operation);
    // Until every command queued by the model's operations has been written
    // and has left the link; false with *error set when the link went first.
    bool settle(QString *error);

    [[nodiscard]] Instrument &instrument() { return m_instrument; }
    [[nodiscard]] const Commands &commands() const { return m_instrument.commands(); }
    [[nodiscard]] CommandFamily family() const { return m_instrument.family(); }
    [[nodiscard]] CommTasker &engine() { return m_instrument.engine(); }
    [[nodiscard]] const CommTasker &engine() const { return m_instrument.engine(); }

public slots:
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
    // True with *error set when the link was given up since the last exchange.
    bool lostMeanwhile(Awaiting awaiting, QString *error);
    // The serial port or TCP socket is no longer open.
    [[nodiscard]] bool linkClosed() const;
    // Until the link has sent what was written to it.
    bool drainOutput(QString *error);

    void onLinkLost();

    Instrument m_instrument;
    LinkOptions m_link;
    std::optional<QString> m_reply;
    bool m_timedOut = false;
    // The engine's cause of a given-up link, taken while the time-out
    // routine runs: the engine forgets it right after.
    QString m_lostCause;
    QEventLoop *m_waiting = nullptr;
};

} // namespace qle
