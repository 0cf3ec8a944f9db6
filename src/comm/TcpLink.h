#pragma once

#include <QString>

#include <functional>
#include <optional>

class QTcpSocket;

namespace qle {

// A raw TCP link to an instrument (a serial-over-LAN adapter, the virtual
// instrument's --tcp): host and port.
struct TcpAddress {
    QString host;
    quint16 port = 0;

    // "HOST:PORT" or "tcp://HOST:PORT"; an IPv6 host in brackets. Nothing
    // for anything else, a port 0 included.
    [[nodiscard]] static std::optional<TcpAddress> parse(const QString &text);
    [[nodiscard]] QString text() const;
};

// Connects `socket` (closed quietly first) to `address`. `done(error)` runs
// once from the event loop: with an empty text once connected, else with the
// cause, the socket closed. Nothing waits meanwhile.
void connectTcpLink(QTcpSocket &socket, const TcpAddress &address, int timeoutMs,
                    std::function<void(const QString &error)> done);

// Closes the link without its disconnected signal: giving a link up on
// purpose is not losing it.
void closeTcpLinkQuietly(QTcpSocket &socket);

} // namespace qle
