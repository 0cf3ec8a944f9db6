#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qle::testing {

// What a subscriber of the broker sees: mosquitto_sub on a topic filter (QoS
// 1 unless told), every message with its retained flag and QoS.
class TopicReader final {
public:
    struct Message {
        bool retained = false;
        int qos = 0;
        QString topic;
        QByteArray payload;
    };

    // Subscribes on the broker at `port` (`options` for mosquitto_sub, and
    // for mosquitto_pub of the probe: a login); true once a probe message has
    // come through, so that nothing published after this is missed.
    bool start(quint16 port, const QString &filter = QStringLiteral("qle/#"), const QStringList &options = {});
    void stop();
    ~TopicReader() { stop(); }

    // Every message so far, in order.
    [[nodiscard]] QList<Message> messages();
    [[nodiscard]] QList<Message> on(const QString &topic);
    [[nodiscard]] std::optional<Message> last(const QString &topic);
    // Waits (running the event loop) for a message on `topic` that `wanted`
    // accepts (any, by default).
    std::optional<Message> waitFor(const QString &topic, const std::function<bool(const Message &)> &wanted = {},
                                   int timeoutMs = 10000);

    // mosquitto_pub of one message; true when it was sent.
    static bool publish(quint16 port, const QString &topic, const QByteArray &payload, const QStringList &options = {});

private:
    void readLines();

    QProcess m_process;
    QString m_probe;
    QByteArray m_pending;
    QList<Message> m_messages;
    bool m_probed = false;
};

} // namespace qle::testing
