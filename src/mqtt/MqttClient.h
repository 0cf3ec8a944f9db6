#pragma once

#include "MqttSettings.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <utility>

class QHostInfo;
struct mosquitto;

namespace qle {

struct MqttCallbackContext;

// The program's connection to the lab's MQTT broker, on libmosquitto and its
// own network thread. Nothing here waits: the broker's name is looked up in
// the background, libmosquitto connects and reconnects in its thread, and
// each of its callbacks comes back to this object's thread as a queued call.
// Where libmosquitto gives up (a refused login, a name not found, a protocol
// or TLS failure, its thread ended without a word) a timer here tries again,
// a refused login more slowly.
//
// The broker keeps "<prefix>/<bench>/status": "online" once connected,
// "offline" after stop(), and "offline" as the last will when the program
// goes without a word; all retained, QoS 1.
class MqttClient final : public QObject {
    Q_OBJECT
public:
    static constexpr int RetrySec = 5;
    static constexpr int RefusedRetrySec = 30;
    static constexpr int StopLimitMs = 2000;
    // A connection not made within this many retry delays is tried afresh.
    static constexpr int AnswerLimitRetries = 3;

    explicit MqttClient(const MqttSettings &settings, QObject *parent = nullptr);
    // Never waits for the network: a connection still open is handed to a
    // thread of its own to close, after "offline".
    ~MqttClient() override;

    [[nodiscard]] const MqttSettings &settings() const { return m_settings; }
    // "<prefix>/<bench>/<subtopic>".
    [[nodiscard]] QString topic(const QString &subtopic) const { return m_settings.topic(subtopic); }
    [[nodiscard]] bool isConnected() const { return m_connected; }
    // The last status line.
    [[nodiscard]] QString status() const { return m_status; }

    // Seconds before the next attempt after the broker could not be reached
    // or the connection was lost, and after it refused the login.
    void setRetryDelays(int retrySec, int refusedRetrySec);

    // Connects, and keeps connecting until stop(). Settings with a problem
    // (MqttSettings::problem()) are said on the status line and not used.
    void start();
    // "offline" (retained), then a clean disconnection once the broker has
    // taken what was sent, or after `limitMs`; stopped() follows, always
    // later than this call.
    void stop(int limitMs = StopLimitMs);
    [[nodiscard]] bool isStopped() const { return m_phase == Phase::Stopped; }

    // Sends while connected; false, with nothing kept, otherwise.
    bool publish(const QString &topic, const QByteArray &payload, int qos, bool retain);
    // Subscribes now if connected, and again on every connection.
    void subscribe(const QString &topic, int qos);

signals:
    void connectedChanged(bool connected);
    // A short line for a status bar: "MQTT connected to host:1883".
    void statusText(const QString &text);
    void messageReceived(const QString &topic, const QByteArray &payload);
    void stopped();

private:
    friend struct MqttCallbackContext;
    enum class Phase { Idle, LookingUp, Connecting, Connected, Waiting, Stopping, Stopped };

    void attempt();
    void hostFound(const QHostInfo &info);
    void openSession(const QString &address);
    void awaitAnswer();
    // Ends the session's libmosquitto handle without waiting for it; its
    // late callbacks are dropped.
    void retire();
    void retryIn(int seconds, const QString &why);
    void report(const QString &text);
    void setConnected(bool connected);
    void finishStop();

    // From libmosquitto's thread, each for the session it belongs to.
    void onConnect(quint64 session, int rc);
    void onDisconnect(quint64 session, int rc);
    void onPublished(quint64 session, int mid);
    void onMessage(quint64 session, const QString &topic, const QByteArray &payload);
    // libmosquitto's last error line ("OpenSSL Error[0]: ... certificate
    // verify failed"), said when its thread ends without a callback.
    void onLibraryError(quint64 session, const QString &text);

    MqttSettings m_settings;
    Phase m_phase = Phase::Idle;
    mosquitto *m_handle = nullptr;
    MqttCallbackContext *m_context = nullptr;
    quint64 m_session = 0;
    int m_lookup = -1;
    bool m_connected = false;
    QString m_status;
    QString m_libraryError;
    QSet<int> m_unacknowledged; // QoS 1 messages the broker has not confirmed
    QList<std::pair<QString, int>> m_subscriptions;
    int m_retrySec = RetrySec;
    int m_refusedRetrySec = RefusedRetrySec;
    QTimer m_retry;
    // libmosquitto's thread may end without a word (a TLS handshake that
    // fails once connected): a connection not made in time is tried afresh.
    QTimer m_answerLimit;
    QTimer m_stopLimit;
};

} // namespace qle
