#include "LineServer.h"

#include <QHostAddress>

namespace qle {

LineServer::LineServer(QObject *parent) : QObject(parent)
{
    for (QTcpServer &server : m_servers) {
        server.setMaxPendingConnections(MaxClients);
        connect(&server, &QTcpServer::newConnection, this, [this, &server] { onNewConnection(&server); });
    }
}

LineServer::~LineServer()
{
    close();
}

bool LineServer::listen(quint16 port)
{
    close();
    const bool v4 = m_servers[0].listen(QHostAddress::LocalHost, port);
    if (v4)
        port = m_servers[0].serverPort();
    // The IPv6 loopback may be missing (a kernel without IPv6): IPv4 alone will do.
    const bool v6 = m_servers[1].listen(QHostAddress::LocalHostIPv6, port);
    if (!v4 && !v6) {
        m_error = m_servers[0].errorString();
        return false;
    }
    m_port = v4 ? m_servers[0].serverPort() : m_servers[1].serverPort();
    return true;
}

void LineServer::close()
{
    for (QTcpServer &server : m_servers)
        server.close();
    while (!m_clients.isEmpty())
        dropClient(m_clients.first().socket);
    m_queue.clear();
    m_inHand = nullptr;
    m_awaitingReply = false;
    m_port = 0;
}

LineServer::Client *LineServer::clientOf(const QTcpSocket *socket)
{
    for (Client &client : m_clients)
        if (client.socket == socket)
            return &client;
    return nullptr;
}

void LineServer::onNewConnection(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        if (m_clients.size() >= MaxClients) {
            socket->write("ERR busy: too many clients\n");
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        m_clients.append({socket, {}, false, false});
        const auto id = reinterpret_cast<quintptr>(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, id] {
            emit clientActive(id);
            if (Client *client = clientOf(socket))
                takeLine(*client);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, id] {
            const bool wasInHand = socket == m_inHand && m_awaitingReply;
            dropClient(socket);
            emit clientLeft(id);
            if (wasInHand)
                emit clientGone();
        });
    }
}

void LineServer::dropClient(QTcpSocket *socket)
{
    for (qsizetype i = 0; i < m_clients.size(); ++i) {
        if (m_clients.at(i).socket != socket)
            continue;
        m_clients.removeAt(i);
        break;
    }
    m_queue.removeIf([socket](const auto &entry) { return entry.first == socket || entry.first.isNull(); });
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void LineServer::takeLine(Client &client)
{
    QTcpSocket *socket = client.socket;
    while (socket && !client.lineWaiting) {
        client.buffer.append(socket->readAll());
        const qsizetype end = client.buffer.indexOf('\n');
        if (end < 0) {
            // Nothing of a line too long is kept: it is skipped up to its end.
            if (client.buffer.size() > MaxLineBytes) {
                if (!client.skippingLongLine) {
                    socket->write("ERR line too long\n");
                    client.skippingLongLine = true;
                }
                client.buffer.clear();
            }
            return;
        }
        QByteArray line = client.buffer.left(end);
        client.buffer.remove(0, end + 1);
        if (client.skippingLongLine || line.size() > MaxLineBytes) {
            if (!client.skippingLongLine)
                socket->write("ERR line too long\n");
            client.skippingLongLine = false;
            continue;
        }
        if (line.endsWith('\r'))
            line.chop(1);
        client.lineWaiting = true;
        m_queue.append({socket, QString::fromUtf8(line)});
    }
    handOverNext();
}

void LineServer::handOverNext()
{
    if (m_awaitingReply || m_queue.isEmpty())
        return;
    const auto [socket, line] = m_queue.takeFirst();
    m_inHand = socket;
    m_awaitingReply = true;
    emit lineReceived(line);
}

void LineServer::reply(const QString &text)
{
    if (!m_awaitingReply)
        return;
    m_awaitingReply = false;
    QTcpSocket *socket = m_inHand;
    m_inHand = nullptr;
    if (Client *client = clientOf(socket)) {
        QByteArray line = text.toUtf8();
        line.replace('\n', ' ');
        line.append('\n');
        socket->write(line);
        client->lineWaiting = false;
    }
    // Its next line, and the next in the queue, are taken after this call returns.
    QMetaObject::invokeMethod(
        this,
        [this, socket = QPointer<QTcpSocket>(socket)] {
            if (Client *client = socket ? clientOf(socket) : nullptr)
                takeLine(*client);
            handOverNext();
        },
        Qt::QueuedConnection);
}

} // namespace qle
