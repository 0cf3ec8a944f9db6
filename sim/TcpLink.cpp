#include "TcpLink.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace psusim {

TcpLink::TcpLink(QObject *parent) : ByteLink(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TcpLink::onNewConnection);
}

bool TcpLink::listen(quint16 port, QString *error)
{
    if (m_server->listen(QHostAddress::LocalHost, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 TcpLink::port() const
{
    return m_server->serverPort();
}

QString TcpLink::address() const
{
    return QStringLiteral("tcp:%1").arg(port());
}

bool TcpLink::peerPresent() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

qint64 TcpLink::write(const QByteArray &data)
{
    if (!peerPresent())
        return data.size();
    m_client->write(data);
    return data.size();
}

void TcpLink::dropConnection()
{
    if (m_client)
        m_client->disconnectFromHost();
}

void TcpLink::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_client) {
            QTcpSocket *old = m_client;
            old->disconnect(this);
            old->abort();
            old->deleteLater();
            emit peerChanged(false);
        }
        m_client = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket == m_client)
                emit received(socket->readAll());
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            socket->deleteLater();
            if (socket == m_client) {
                m_client = nullptr;
                emit peerChanged(false);
            }
        });
        emit peerChanged(true);
    }
}

} // namespace psusim
