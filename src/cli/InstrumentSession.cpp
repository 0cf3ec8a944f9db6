#include "InstrumentSession.h"

#include "platform/Trace.h"

#include <QEventLoop>
#include <QTimer>

namespace qle {

InstrumentSession::InstrumentSession()
{
    m_engine.setHost(this);
    m_engine.SetupTimeoutTask(this, "OnTimeout");
    m_commands.LoadScpiCommands();
}

InstrumentSession::~InstrumentSession()
{
    m_engine.setHost(nullptr);
    m_engine.setGpibDevice(nullptr);
}

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
    openInstrumentLink(m_engine, link, settings, m_gpib, [&](const QString &cause) {
        outcome = cause;
        loop.quit();
    });
    if (!outcome)
        loop.exec();
    *error = *outcome;
    return outcome->isEmpty();
}

void InstrumentSession::useModel(const QString &model)
{
    m_family = familyFor(model);
    if (m_family == CommandFamily::Legacy)
        m_commands.LoadLegacyCommands();
    else
        m_commands.LoadScpiCommands();
}

void InstrumentSession::ReportStatus(const QString &msg, int)
{
    Trace("status: " + msg);
}

void InstrumentSession::OnTimeout()
{
    m_timedOut = true;
    m_lostCause = m_engine.linkLostCause();
    if (m_waiting)
        m_waiting->quit();
    // The time-out routine is taken on each use; the next exchange gets it back.
    m_engine.SetupTimeoutTask(this, "OnTimeout");
}

void InstrumentSession::setReply(const QString &reply)
{
    m_reply = reply;
}

bool InstrumentSession::linkClosed() const
{
    if (m_engine.CommType == QLatin1String("TCP"))
        return m_engine.MSTcp.state() != QAbstractSocket::ConnectedState;
    if (m_engine.CommType == QLatin1String("RS232"))
        return !m_engine.MSComm1.isOpen();
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
    const QString seconds = QString::number(m_engine.responseTimeoutSec());
    return awaiting == Awaiting::Reply ? "no reply within " + seconds + " s"
                                       : "the link did not take the command within " + seconds + " s";
}

bool InstrumentSession::waitFor(const std::function<bool()> &done, Awaiting awaiting, QString *error)
{
    QEventLoop loop;
    const QMetaObject::Connection finished = connect(&m_engine, &CommTasker::taskFinished, &loop, [&] {
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
        m_engine.ResetTasks();
        m_timedOut = false;
        m_lostCause.clear();
        return false;
    }
    return true;
}

std::optional<QString> InstrumentSession::query(const QString &text, QString *error)
{
    m_reply.reset();
    if (!m_engine.ExecQueryTask(text, 5, this, "setReply", 1, false)) {
        *error = "the engine refused the query";
        return std::nullopt;
    }
    if (!waitFor([this] { return m_reply.has_value(); }, Awaiting::Reply, error))
        return std::nullopt;
    return m_reply;
}

bool InstrumentSession::command(const QString &text, QString *error)
{
    const quint64 before = m_engine.commandsQueued();
    m_engine.ExecCmdTask(text, 0, this, QString(), 1, false);
    if (m_engine.commandsQueued() == before) {
        *error = "the engine refused the command";
        return false;
    }
    if (!waitFor([this] { return m_engine.CmdTaskCount == 0 && !m_engine.IsCommandPending; }, Awaiting::Write, error))
        return false;
    return drainOutput(error);
}

bool InstrumentSession::drainOutput(QString *error)
{
    // A command is done for the engine once handed to the port; the program
    // may end right after, so it waits until the bytes have left.
    QIODevice *stream = m_engine.CommType == QLatin1String("TCP")     ? static_cast<QIODevice *>(&m_engine.MSTcp)
                        : m_engine.CommType == QLatin1String("RS232") ? &m_engine.MSComm1
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
    limit.start(static_cast<int>(m_engine.responseTimeoutSec() * 1000));
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
