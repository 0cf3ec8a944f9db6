#include "TcpLink.h"

#include <QSignalBlocker>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace qle {

std::optional<TcpAddress> TcpAddress::parse(const QString &text)
{
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive))
        rest = rest.mid(6);
    // QUrl takes a host and port apart, bracketed IPv6 hosts included.
    const QUrl url(QStringLiteral("tcp://") + rest);
    if (!url.isValid() || url.host().isEmpty() || !url.path().isEmpty() || !url.userInfo().isEmpty() ||
        url.hasQuery() || url.hasFragment() || url.port() <= 0 || url.port() > 65535)
        return std::nullopt;
    return TcpAddress{url.host(), static_cast<quint16>(url.port())};
}

QString TcpAddress::text() const
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

void closeTcpLinkQuietly(QTcpSocket &socket)
{
    const QSignalBlocker quiet(socket);
    socket.abort();
}

void connectTcpLink(QTcpSocket &socket, const TcpAddress &address, int timeoutMs,
                    std::function<void(const QString &error)> done)
{
    closeTcpLinkQuietly(socket);
    // One attempt: whichever of connected, error or time-out comes first ends it.
    auto *attempt = new QObject(&socket);
    auto finish = std::make_shared<std::function<void(const QString &)>>(
        [&socket, attempt, done = std::move(done), address, ended = false](const QString &error) mutable {
            if (ended)
                return;
            ended = true;
            attempt->deleteLater();
            QObject::disconnect(&socket, nullptr, attempt, nullptr);
            if (error.isEmpty()) {
                done({});
                return;
            }
            closeTcpLinkQuietly(socket);
            done("cannot connect to " + address.text() + ": " + error);
        });
    auto *limit = new QTimer(attempt);
    limit->setSingleShot(true);
    QObject::connect(limit, &QTimer::timeout, attempt, [finish] { (*finish)(QStringLiteral("no answer in time")); });
    QObject::connect(&socket, &QTcpSocket::connected, attempt, [finish] { (*finish)({}); });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, attempt,
                     [finish, &socket](QAbstractSocket::SocketError) { (*finish)(socket.errorString()); });
    limit->start(timeoutMs);
    socket.connectToHost(address.host, address.port);
}

} // namespace qle
