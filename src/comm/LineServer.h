#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <array>

namespace qle {

// A line protocol on a local TCP port, for one client at a time: it listens
// on 127.0.0.1 and ::1 only, takes one LF-terminated line (a CR before the
// LF is dropped), hands it over, and takes the next only once the reply to
// it has been sent, so that a client may send several lines at once. A
// second client gets one error line and is closed; a line longer than
// MaxLineBytes is answered with an error and skipped up to its end.
class LineServer final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype MaxLineBytes = 4096;

    explicit LineServer(QObject *parent = nullptr);
    ~LineServer() override;

    // Listens on `port` (0: a free one) on both loopback addresses; false,
    // with errorString() set, when neither can be had.
    bool listen(quint16 port);
    void close();
    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] QString errorString() const { return m_error; }
    [[nodiscard]] bool hasClient() const { return m_client != nullptr; }

    // Answers the line last handed over; an LF is added. A client that left
    // meanwhile gets nothing, and the next client's lines wait until then, so
    // one line at a time is in hand whoever sent it.
    void reply(const QString &text);

signals:
    void lineReceived(const QString &line);
    // The client left, with or without a reply pending.
    void clientGone();

private:
    void onNewConnection(QTcpServer *server);
    void readLines();
    void dropClient();

    std::array<QTcpServer, 2> m_servers;
    QPointer<QTcpSocket> m_client;
    QByteArray m_buffer;
    bool m_awaitingReply = false;
    bool m_skippingLongLine = false;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace qle
