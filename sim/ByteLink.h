#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace psusim {

// The wire to the controlling program: a pseudo-terminal or a TCP socket.
class ByteLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // True while somebody is connected at the other end.
    [[nodiscard]] virtual bool peerPresent() const = 0;
    // Writes what the link takes now; returns the number of bytes taken
    // (data for an absent peer is taken and dropped, like on a dead line).
    virtual qint64 write(const QByteArray &data) = 0;
    // Drops the connection as a cable pull would.
    virtual void dropConnection() = 0;
    // Where the program connects ("/dev/pts/3", "tcp:5025").
    [[nodiscard]] virtual QString address() const = 0;

signals:
    void received(const QByteArray &data);
    void peerChanged(bool present);
    // The address changed (a new pseudo-terminal after a drop).
    void addressChanged(const QString &address);
};

} // namespace psusim
