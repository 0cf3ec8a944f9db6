#include "ControlServer.h"

#include "ControlInterpreter.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace psusim {

ControlServer::ControlServer(ControlInterpreter &interpreter, QObject *parent)
    : QObject(parent), m_interpreter(interpreter)
{
}

QByteArray ControlServer::run(const QByteArray &line)
{
    const QByteArray command = line.trimmed();
    if (command.isEmpty())
        return {};
    const ControlInterpreter::Result result = m_interpreter.execute(command);
    emit handled(command, result.reply);
    if (result.quit)
        QMetaObject::invokeMethod(this, &ControlServer::quitRequested, Qt::QueuedConnection);
    return result.reply;
}

void ControlServer::watchStdin()
{
    // Started in the background of an interactive shell, reading the terminal
    // must fail (EIO) instead of stopping the whole simulator.
    ::signal(SIGTTIN, SIG_IGN);
    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, &ControlServer::onStdin);
}

void ControlServer::onStdin()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n < 0 && errno == EIO) {
        // A background job on a terminal: try again later, maybe in front.
        m_stdin->setEnabled(false);
        QTimer::singleShot(kBackgroundRetryMs, this, [this] { m_stdin->setEnabled(true); });
        return;
    }
    if (n <= 0) {
        // End of input: the simulator keeps running without a console.
        m_stdin->setEnabled(false);
        return;
    }
    m_stdinLine.append(buffer, n);
    qsizetype end;
    while ((end = m_stdinLine.indexOf('\n')) >= 0) {
        const QByteArray line = m_stdinLine.left(end);
        m_stdinLine.remove(0, end + 1);
        const QByteArray reply = run(line);
        if (!reply.isEmpty()) {
            std::fwrite(reply.constData(), 1, size_t(reply.size()), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        }
    }
}

bool ControlServer::listen(const QString &path, QString *error)
{
    m_server = new QLocalServer(this);
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        if (error)
            *error = QStringLiteral("control socket %1: %2").arg(path, m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray reply = run(socket->readLine());
                    if (!reply.isEmpty())
                        socket->write(reply + '\n');
                }
            });
        }
    });
    return true;
}

} // namespace psusim
