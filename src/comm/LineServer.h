#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <array>

namespace qle {

// A line protocol on a local TCP port: it listens on 127.0.0.1 and ::1
// only, for up to MaxClients clients at once (a monitoring script beside a
// control script). Lines are LF-terminated (a CR before the LF is dropped)
// and handed over one at a time, in the order they arrived whoever sent
// them; each is answered on its own connection. A client's next line is
// taken once the reply to its last has been sent, so a client may send
// several lines at once. A line longer than MaxLineBytes is answered with an
// error and skipped up to its end; a client beyond MaxClients gets one error
// line and is closed.
class LineServer final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype MaxLineBytes = 4096;
    static constexpr int MaxClients = 8;

    explicit LineServer(QObject *parent = nullptr);
    ~LineServer() override;

    // Listens on `port` (0: a free one) on both loopback addresses; false,
    // with errorString() set, when neither can be had.
    bool listen(quint16 port);
    void close();
    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] QString errorString() const { return m_error; }
    [[nodiscard]] int clientCount() const { return static_cast<int>(m_clients.size()); }

    // Answers the line last handed over; an LF is added. A client that left
    // meanwhile gets nothing; other clients' lines wait until then, so one
    // line at a time is in hand whoever sent it.
    void reply(const QString &text);
    // Who sent the line in hand, as clientActive and clientLeft name it.
    [[nodiscard]] quintptr clientInHand() const { return reinterpret_cast<quintptr>(m_inHand.data()); }

signals:
    void lineReceived(const QString &line);
    // The client whose line is in hand left before its reply.
    void clientGone();
    // Bytes came from a client; a client went (closed or dropped).
    void clientActive(quintptr client);
    void clientLeft(quintptr client);

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        QByteArray buffer;
        bool skippingLongLine = false;
        bool lineWaiting = false; // a line of it is in the queue or in hand
    };

    void onNewConnection(QTcpServer *server);
    // Takes the next whole line of `client` into the queue, unless one of
    // its lines is waiting already.
    void takeLine(Client &client);
    void handOverNext();
    void dropClient(QTcpSocket *socket);
    Client *clientOf(const QTcpSocket *socket);

    std::array<QTcpServer, 2> m_servers;
    QList<Client> m_clients;
    // Lines in arrival order, with the socket each came from.
    QList<std::pair<QPointer<QTcpSocket>, QString>> m_queue;
    QPointer<QTcpSocket> m_inHand;
    bool m_awaitingReply = false;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace qle
