#include "MqttLog.h"

#include <QEventLoop>
#include <QTimer>

namespace qle::cli {
namespace {

MqttSettings withoutCommands(MqttSettings settings)
{
    settings.allowCommands = false;
    return settings;
}

} // namespace

MqttLog::MqttLog(Instrument &instrument, MqttSettings settings, std::function<void(const QString &)> say)
    : m_client(withoutCommands(std::move(settings))), m_publisher(m_client), m_commands(m_client)
{
    // A broker that stays away is one line, not one a retry.
    QObject::connect(&m_client, &MqttClient::statusText, &m_client, [this, say = std::move(say)](const QString &text) {
        if (text != m_lastStatus)
            say(text);
        m_lastStatus = text;
    });
    m_publisher.attach(&instrument);
    m_commands.attach(&instrument);
    m_client.start();
}

void MqttLog::finish()
{
    QEventLoop loop;
    QObject::connect(&m_client, &MqttClient::stopped, &loop, &QEventLoop::quit);
    // The client's own limit ends the wait; this one is for safety.
    QTimer::singleShot(MqttClient::StopLimitMs + 500, &loop, &QEventLoop::quit);
    m_client.stop();
    if (!m_client.isStopped())
        loop.exec();
}

} // namespace qle::cli
