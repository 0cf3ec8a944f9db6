#pragma once

#include "ByteLink.h"

#include <QPointer>

class QTcpServer;
class QTcpSocket;

namespace psusim {

// A TCP port on 127.0.0.1 that speaks the same line protocol. One client at a
// time: a newer connection replaces the older one.
class TcpLink : public ByteLink {
    Q_OBJECT
public:
    explicit TcpLink(QObject *parent = nullptr);

    bool listen(quint16 port, QString *error);
    [[nodiscard]] quint16 port() const;

    [[nodiscard]] bool peerPresent() const override;
    qint64 write(const QByteArray &data) override;
    void dropConnection() override;
    [[nodiscard]] QString address() const override;

private:
    void onNewConnection();

    QTcpServer *m_server;
    QPointer<QTcpSocket> m_client;
};

} // namespace psusim
