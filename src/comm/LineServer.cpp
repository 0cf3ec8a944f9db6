#include "LineServer.h"

#include <QHostAddress>

namespace qle {

LineServer::LineServer(QObject *parent) : QObject(parent)
{
    for (QTcpServer &server : m_servers) {
        server.setMaxPendingConnections(4);
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
    dropClient();
    m_awaitingReply = false;
    m_port = 0;
}

void LineServer::onNewConnection(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        if (m_client) {
            socket->write("ERR busy: another client is connected\n");
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        m_client = socket;
        m_buffer.clear();
        m_skippingLongLine = false;
        connect(socket, &QTcpSocket::readyRead, this, &LineServer::readLines);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket != m_client)
                return;
            dropClient();
            emit clientGone();
        });
    }
}

void LineServer::dropClient()
{
    if (QTcpSocket *socket = m_client.data()) {
        m_client = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_buffer.clear();
    m_skippingLongLine = false;
}

void LineServer::reply(const QString &text)
{
    if (!m_awaitingReply)
        return;
    m_awaitingReply = false;
    if (m_client) {
        QByteArray line = text.toUtf8();
        line.replace('\n', ' ');
        line.append('\n');
        m_client->write(line);
    }
    // The next line may be waiting already; it is taken after this call returns.
    QMetaObject::invokeMethod(this, &LineServer::readLines, Qt::QueuedConnection);
}

void LineServer::readLines()
{
    while (m_client && !m_awaitingReply) {
        m_buffer.append(m_client->readAll());
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            // Nothing of a line too long is kept: it is skipped up to its end.
            if (m_buffer.size() > MaxLineBytes) {
                if (!m_skippingLongLine) {
                    m_client->write("ERR line too long\n");
                    m_skippingLongLine = true;
                }
                m_buffer.clear();
            }
            return;
        }
        QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (m_skippingLongLine || line.size() > MaxLineBytes) {
            if (!m_skippingLongLine)
                m_client->write("ERR line too long\n");
            m_skippingLongLine = false;
            continue;
        }
        if (line.endsWith('\r'))
            line.chop(1);
        m_awaitingReply = true;
        emit lineReceived(QString::fromUtf8(line));
    }
}

} // namespace qle
