#include "InstrumentSession.h"

#include "platform/Trace.h"

#include <QEventLoop>
#include <QTimer>

namespace qle {

InstrumentSession::InstrumentSession()
{
    connect(&m_instrument, &Instrument::linkLost, this, &InstrumentSession::onLinkLost);
    connect(&m_instrument, &Instrument::statusReported, this, [](const QString &text) { Trace("status: " + text); });
}

InstrumentSession::~InstrumentSession() = default;

bool InstrumentSession::open(const LinkOptions &link, const ISettingsStore &settings, QString *error)
{
    m_link = link;
    if (link.kind == LinkOptions::Kind::None) {
        *error = "no link given: use --port, --tcp or --gpib";
        return false;
    }
    // A program without windows may wait here: nothing else runs.
    QEventLoop loop;
    std::optional<QString> outcome;
    m_instrument.open(link, settings, [&](const QString &cause) {
        outcome = cause;
        loop.quit();
    });
    if (!outcome)
        loop.exec();
    *error = *outcome;
    return outcome->isEmpty();
}

Outcome InstrumentSession::await(const std::function<void(OutcomeHandler)> &operation)
{
    // Every operation of the model ends with an outcome, a lost link too.
    std::optional<Outcome> outcome;
    QEventLoop loop;
    operation([&](const Outcome &o) {
        outcome = o;
        loop.quit();
    });
    if (!outcome)
        loop.exec();
    return *outcome;
}

Outcome InstrumentSession::identify(const Instrument::CatalogueLookup &catalogue)
{
    return await([&](OutcomeHandler done) { m_instrument.identify(catalogue, std::move(done)); });
}

bool InstrumentSession::settle(QString *error)
{
    if (lostMeanwhile(Awaiting::Write, error))
        return false;
    return waitFor([this] { return engine().CmdTaskCount == 0 && !engine().IsCommandPending; }, Awaiting::Write,
                   error) &&
           drainOutput(error);
}

void InstrumentSession::onLinkLost()
{
    m_timedOut = true;
    m_lostCause = m_instrument.linkLossCause();
    if (m_waiting)
        m_waiting->quit();
}

void InstrumentSession::setReply(const QString &reply)
{
    m_reply = reply;
}

bool InstrumentSession::linkClosed() const
{
    if (engine().CommType == QLatin1String("TCP"))
        return engine().MSTcp.state() != QAbstractSocket::ConnectedState;
    if (engine().CommType == QLatin1String("RS232"))
        return !engine().MSComm1.isOpen();
    return false;
}

QString InstrumentSession::failureText(Awaiting awaiting) const
{
    // The engine closes a serial port that hung up, and a TCP socket closes
    // itself when the other end goes: whatever the engine made of it, no
    // reply was late.
    if (linkClosed())
        return "link closed: the instrument's link (" + m_link.describe() + ") was closed by the other end";
    if (!m_lostCause.isEmpty())
        return m_lostCause;
    const QString seconds = QString::number(engine().responseTimeoutSec());
    return awaiting == Awaiting::Reply ? "no reply within " + seconds + " s"
                                       : "the link did not take the command within " + seconds + " s";
}

bool InstrumentSession::waitFor(const std::function<bool()> &done, Awaiting awaiting, QString *error)
{
    QEventLoop loop;
    const QMetaObject::Connection finished = connect(&engine(), &CommTasker::taskFinished, &loop, [&] {
        if (done())
            loop.quit();
    });
    m_waiting = &loop;
    if (!done() && !m_timedOut)
        loop.exec();
    m_waiting = nullptr;
    disconnect(finished);
    if (m_timedOut) {
        *error = failureText(awaiting);
        engine().ResetTasks();
        m_timedOut = false;
        m_lostCause.clear();
        return false;
    }
    return true;
}

bool InstrumentSession::lostMeanwhile(Awaiting awaiting, QString *error)
{
    // A link that went between exchanges is given up: say why, not that the
    // engine refused.
    if (!m_timedOut && !engine().isLinkGivenUp())
        return false;
    *error = failureText(awaiting);
    m_timedOut = false;
    m_lostCause.clear();
    return true;
}

std::optional<QString> InstrumentSession::query(const QString &text, QString *error)
{
    if (lostMeanwhile(Awaiting::Reply, error))
        return std::nullopt;
    m_reply.reset();
    if (!engine().ExecQueryTask(text, 5, this, "setReply", 1, false)) {
        *error = "the engine refused the query";
        return std::nullopt;
    }
    if (!waitFor([this] { return m_reply.has_value(); }, Awaiting::Reply, error))
        return std::nullopt;
    return m_reply;
}

bool InstrumentSession::command(const QString &text, QString *error)
{
    if (lostMeanwhile(Awaiting::Write, error))
        return false;
    const quint64 before = engine().commandsQueued();
    engine().ExecCmdTask(text, 0, this, QString(), 1, false);
    if (engine().commandsQueued() == before) {
        *error = "the engine refused the command";
        return false;
    }
    if (!waitFor([this] { return engine().CmdTaskCount == 0 && !engine().IsCommandPending; }, Awaiting::Write, error))
        return false;
    return drainOutput(error);
}

bool InstrumentSession::drainOutput(QString *error)
{
    // A command is done for the engine once handed to the port; the program
    // may end right after, so it waits until the bytes have left.
    QIODevice *stream = engine().CommType == QLatin1String("TCP")     ? static_cast<QIODevice *>(&engine().MSTcp)
                        : engine().CommType == QLatin1String("RS232") ? &engine().MSComm1
                                                                      : nullptr;
    if (!stream || stream->bytesToWrite() == 0)
        return true;
    QEventLoop loop;
    bool written = false;
    connect(stream, &QIODevice::bytesWritten, &loop, [&] {
        written = stream->bytesToWrite() == 0;
        if (written)
            loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(static_cast<int>(engine().responseTimeoutSec() * 1000));
    // A link closed meanwhile ends the wait through the time-out routine
    // (a closed socket drops what it had not sent).
    m_waiting = &loop;
    if (!m_timedOut)
        loop.exec();
    m_waiting = nullptr;
    if (written)
        return true;
    *error = m_timedOut || linkClosed() ? failureText(Awaiting::Write)
                                        : "the link did not take the command: " + stream->errorString();
    m_timedOut = false;
    m_lostCause.clear();
    return false;
}

} // namespace qle
