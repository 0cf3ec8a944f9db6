#include "MqttClient.h"

#include <QHostAddress>
#include <QHostInfo>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>

namespace qle {

// What libmosquitto's callbacks reach from its thread: the client while it
// wants them, and the session they belong to. The client disarms it before
// it lets the handle go, so nothing is posted to a client that has gone.
struct MqttCallbackContext {
    std::mutex lock;
    MqttClient *client;
    quint64 session;

    MqttCallbackContext(MqttClient *c, quint64 s) : client(c), session(s) {}

    void disarm()
    {
        const std::lock_guard guard(lock);
        client = nullptr;
    }

    // Runs `call(client, session)` in the client's thread.
    template <typename Call> void post(Call call)
    {
        const std::lock_guard guard(lock);
        if (!client)
            return;
        QMetaObject::invokeMethod(
            client, [c = client, s = session, call] { call(c, s); }, Qt::QueuedConnection);
    }

    static MqttCallbackContext *of(void *obj) { return static_cast<MqttCallbackContext *>(obj); }

    static void connected(mosquitto *, void *obj, int rc)
    {
        of(obj)->post([rc](MqttClient *c, quint64 s) { c->onConnect(s, rc); });
    }
    static void disconnected(mosquitto *, void *obj, int rc)
    {
        of(obj)->post([rc](MqttClient *c, quint64 s) { c->onDisconnect(s, rc); });
    }
    static void published(mosquitto *, void *obj, int mid)
    {
        of(obj)->post([mid](MqttClient *c, quint64 s) { c->onPublished(s, mid); });
    }
    static void logged(mosquitto *, void *obj, int level, const char *text)
    {
        if (level != MOSQ_LOG_ERR)
            return;
        const QString line = QString::fromUtf8(text);
        of(obj)->post([line](MqttClient *c, quint64 s) { c->onLibraryError(s, line); });
    }
    static void received(mosquitto *, void *obj, const mosquitto_message *message)
    {
        const QString topic = QString::fromUtf8(message->topic);
        const QByteArray payload = message->payloadlen > 0
                                       ? QByteArray(static_cast<const char *>(message->payload), message->payloadlen)
                                       : QByteArray();
        of(obj)->post([topic, payload](MqttClient *c, quint64 s) { c->onMessage(s, topic, payload); });
    }
};

namespace {

constexpr int KeepAliveSec = 30;
const QByteArray Offline = QByteArrayLiteral("offline");
const QByteArray Online = QByteArrayLiteral("online");

void initialiseLibrary()
{
    // Once a process; libmosquitto is never cleaned up, as handles may still
    // be closing in threads of their own at exit.
    static const int once = mosquitto_lib_init();
    Q_UNUSED(once);
}

// The CONNACK return codes of MQTT 3.1.1.
QString refusal(int rc)
{
    switch (rc) {
    case 1:
        return QStringLiteral("unacceptable protocol version");
    case 2:
        return QStringLiteral("client identifier rejected");
    case 3:
        return QStringLiteral("broker unavailable");
    case 4:
        return QStringLiteral("bad user name or password");
    case 5:
        return QStringLiteral("not authorised");
    default:
        break;
    }
    return QStringLiteral("code %1").arg(rc);
}

QString errorText(int rc, int errnoValue)
{
    if (rc == MOSQ_ERR_ERRNO)
        return qt_error_string(errnoValue);
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

MqttClient::MqttClient(const MqttSettings &settings, QObject *parent) : QObject(parent), m_settings(settings)
{
    initialiseLibrary();
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::attempt);
    m_stopLimit.setSingleShot(true);
    connect(&m_stopLimit, &QTimer::timeout, this, &MqttClient::finishStop);
    m_answerLimit.setSingleShot(true);
    connect(&m_answerLimit, &QTimer::timeout, this, [this] {
        const QString why = m_libraryError.isEmpty() ? QString() : " (" + m_libraryError + ")";
        retryIn(m_retrySec, "MQTT broker " + m_settings.address() + " not reachable" + why);
    });
}

MqttClient::~MqttClient()
{
    if (m_lookup >= 0)
        QHostInfo::abortHostLookup(m_lookup);
    // Gone without stop(): the disconnection is a clean one, which drops the
    // last will, so "offline" goes ahead of it.
    if (m_phase == Phase::Connected)
        publish(topic(QStringLiteral("status")), Offline, 1, true);
    retire();
}

void MqttClient::setRetryDelays(int retrySec, int refusedRetrySec)
{
    m_retrySec = std::max(1, retrySec);
    m_refusedRetrySec = std::max(1, refusedRetrySec);
}

void MqttClient::start()
{
    if (const QString problem = m_settings.problem(); !problem.isEmpty()) {
        report(QStringLiteral("MQTT not started: ") + problem);
        return;
    }
    report(QStringLiteral("MQTT connecting to ") + m_settings.address());
    attempt();
}

void MqttClient::attempt()
{
    retire();
    m_phase = Phase::LookingUp;
    // A literal address needs no lookup (QHostInfo would look its name up).
    if (!QHostAddress(m_settings.host).isNull()) {
        openSession(m_settings.host);
        return;
    }
    m_lookup = QHostInfo::lookupHost(m_settings.host, this, &MqttClient::hostFound);
}

void MqttClient::hostFound(const QHostInfo &info)
{
    m_lookup = -1;
    if (m_phase != Phase::LookingUp)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        retryIn(m_retrySec,
                QStringLiteral("MQTT broker %1 not found (%2)").arg(m_settings.address(), info.errorString()));
        return;
    }
    // libmosquitto would look the name up again in this thread; an address
    // does not wait. With TLS it checks the broker's certificate against the
    // name, so the name it is (found a moment ago).
    if (m_settings.tls) {
        openSession(m_settings.host);
        return;
    }
    // IPv4 first: a name with both (localhost on many systems) may list ::1
    // first, where many brokers do not listen.
    const QList<QHostAddress> addresses = info.addresses();
    const auto v4 = std::find_if(addresses.cbegin(), addresses.cend(),
                                 [](const QHostAddress &a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
    openSession((v4 != addresses.cend() ? *v4 : addresses.constFirst()).toString());
}

void MqttClient::openSession(const QString &address)
{
    m_context = new MqttCallbackContext(this, ++m_session);
    m_handle = mosquitto_new(nullptr, true, m_context);
    if (!m_handle) {
        delete m_context;
        m_context = nullptr;
        retryIn(m_retrySec, QStringLiteral("MQTT client could not be created"));
        return;
    }
    mosquitto_connect_callback_set(m_handle, &MqttCallbackContext::connected);
    mosquitto_disconnect_callback_set(m_handle, &MqttCallbackContext::disconnected);
    mosquitto_publish_callback_set(m_handle, &MqttCallbackContext::published);
    mosquitto_message_callback_set(m_handle, &MqttCallbackContext::received);
    mosquitto_log_callback_set(m_handle, &MqttCallbackContext::logged);
    // libmosquitto's thread tries again at this pace after a refused
    // connection or a lost one.
    mosquitto_reconnect_delay_set(m_handle, static_cast<unsigned>(m_retrySec), static_cast<unsigned>(m_retrySec),
                                  false);
    const QByteArray will = topic(QStringLiteral("status")).toUtf8();
    mosquitto_will_set(m_handle, will.constData(), static_cast<int>(Offline.size()), Offline.constData(), 1, true);
    if (!m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8();
        const QByteArray password = m_settings.password.toUtf8();
        mosquitto_username_pw_set(m_handle, user.constData(), password.isEmpty() ? nullptr : password.constData());
    }
    if (m_settings.tls) {
        const QByteArray caFile = m_settings.caFile.toLocal8Bit();
        const int rc = caFile.isEmpty()
                           ? mosquitto_int_option(m_handle, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                           : mosquitto_tls_set(m_handle, caFile.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            retryIn(
                m_retrySec,
                QStringLiteral("MQTT TLS cannot use the CA file %1 (%2)").arg(m_settings.caFile, errorText(rc, errno)));
            return;
        }
    }
    int rc = mosquitto_loop_start(m_handle);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_async(m_handle, address.toUtf8().constData(), m_settings.port, KeepAliveSec);
    if (rc != MOSQ_ERR_SUCCESS) {
        const int cause = errno;
        retryIn(m_retrySec,
                QStringLiteral("MQTT broker %1 not reachable (%2)").arg(m_settings.address(), errorText(rc, cause)));
        return;
    }
    m_phase = Phase::Connecting;
    awaitAnswer();
}

void MqttClient::awaitAnswer()
{
    // Room for libmosquitto's own attempts in between.
    m_answerLimit.start(AnswerLimitRetries * m_retrySec * 1000);
}

void MqttClient::retire()
{
    // Late callbacks of this session are told apart from the next one's.
    ++m_session;
    m_libraryError.clear();
    m_answerLimit.stop();
    m_unacknowledged.clear();
    if (!m_handle)
        return;
    m_context->disarm();
    // Stopping libmosquitto's thread waits for it, and a connection being
    // tried to a host that does not answer may take minutes: a thread of its
    // own does it.
    std::thread([handle = m_handle, context = m_context] {
        mosquitto_disconnect(handle);
        mosquitto_loop_stop(handle, false);
        mosquitto_destroy(handle);
        delete context;
    }).detach();
    m_handle = nullptr;
    m_context = nullptr;
}

void MqttClient::retryIn(int seconds, const QString &why)
{
    retire();
    setConnected(false);
    m_phase = Phase::Waiting;
    report(why + QStringLiteral(", retrying in %1 s").arg(seconds));
    m_retry.start(seconds * 1000);
}

void MqttClient::report(const QString &text)
{
    m_status = text;
    emit statusText(text);
}

void MqttClient::setConnected(bool connected)
{
    if (m_connected == connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

void MqttClient::onConnect(quint64 session, int rc)
{
    if (session != m_session || m_phase != Phase::Connecting)
        return;
    if (rc != 0) {
        // libmosquitto would try again at once; a refused login is tried
        // again here, slowly.
        retryIn(m_refusedRetrySec, QStringLiteral("MQTT broker refused the login (%1)").arg(refusal(rc)));
        return;
    }
    m_phase = Phase::Connected;
    m_answerLimit.stop();
    // Sent before anyone hears of the connection, so "online" comes first.
    m_connected = true;
    publish(topic(QStringLiteral("status")), Online, 1, true);
    for (const auto &[name, qos] : std::as_const(m_subscriptions))
        mosquitto_subscribe(m_handle, nullptr, name.toUtf8().constData(), qos);
    report(QStringLiteral("MQTT connected to ") + m_settings.address());
    emit connectedChanged(true);
}

void MqttClient::onDisconnect(quint64 session, int rc)
{
    if (session != m_session)
        return;
    if (m_phase == Phase::Stopping) {
        finishStop();
        return;
    }
    if (m_phase != Phase::Connecting && m_phase != Phase::Connected)
        return;
    const bool wasConnected = m_connected;
    m_unacknowledged.clear();
    setConnected(false);
    switch (rc) {
    case MOSQ_ERR_ERRNO:
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_KEEPALIVE:
        // libmosquitto's thread tries again itself, without a word until it
        // connects.
        m_phase = Phase::Connecting;
        awaitAnswer();
        report((wasConnected ? QStringLiteral("MQTT connection to %1 lost, retrying in %2 s")
                             : QStringLiteral("MQTT broker %1 not reachable, retrying in %2 s"))
                   .arg(m_settings.address())
                   .arg(m_retrySec));
        return;
    case MOSQ_ERR_CONN_REFUSED:
        retryIn(m_refusedRetrySec, QStringLiteral("MQTT broker refused the login"));
        return;
    default:
        break;
    }
    // A failure libmosquitto's thread ends on (protocol, TLS): tried again here.
    retryIn(m_retrySec, QStringLiteral("MQTT connection to %1 failed (%2)")
                            .arg(m_settings.address(), QString::fromUtf8(mosquitto_strerror(rc))));
}

void MqttClient::onPublished(quint64 session, int mid)
{
    if (session != m_session)
        return;
    m_unacknowledged.remove(mid);
    if (m_phase == Phase::Stopping && m_unacknowledged.isEmpty())
        mosquitto_disconnect(m_handle);
}

void MqttClient::onLibraryError(quint64 session, const QString &text)
{
    if (session == m_session)
        m_libraryError = text;
}

void MqttClient::onMessage(quint64 session, const QString &topic, const QByteArray &payload)
{
    if (session == m_session && m_phase == Phase::Connected)
        emit messageReceived(topic, payload);
}

void MqttClient::stop(int limitMs)
{
    m_retry.stop();
    if (m_lookup >= 0) {
        QHostInfo::abortHostLookup(m_lookup);
        m_lookup = -1;
    }
    if (m_phase == Phase::Stopping || m_phase == Phase::Stopped)
        return;
    if (m_phase != Phase::Connected) {
        retire();
        m_phase = Phase::Stopped;
        report(QStringLiteral("MQTT stopped"));
        QTimer::singleShot(0, this, &MqttClient::stopped);
        return;
    }
    // A clean disconnection drops the last will: "offline" is said here.
    m_phase = Phase::Stopping;
    publish(topic(QStringLiteral("status")), Offline, 1, true);
    m_stopLimit.start(limitMs);
    if (m_unacknowledged.isEmpty())
        mosquitto_disconnect(m_handle);
}

void MqttClient::finishStop()
{
    m_stopLimit.stop();
    retire();
    setConnected(false);
    m_phase = Phase::Stopped;
    report(QStringLiteral("MQTT disconnected from ") + m_settings.address());
    emit stopped();
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (!m_connected || !m_handle)
        return false;
    const QByteArray name = topic.toUtf8();
    int mid = 0;
    if (mosquitto_publish(m_handle, &mid, name.constData(), static_cast<int>(payload.size()), payload.constData(), qos,
                          retain) != MOSQ_ERR_SUCCESS)
        return false;
    if (qos > 0)
        m_unacknowledged.insert(mid);
    return true;
}

void MqttClient::subscribe(const QString &topic, int qos)
{
    m_subscriptions.append({topic, qos});
    if (m_connected && m_handle)
        mosquitto_subscribe(m_handle, nullptr, topic.toUtf8().constData(), qos);
}

} // namespace qle
