#include "MqttSession.h"

#include "instrument/Instrument.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttCommands.h"
#include "mqtt/MqttPublisher.h"

namespace qle {

MqttSession::MqttSession(Instrument &instrument, QObject *parent) : QObject(parent), m_instrument(instrument)
{
}

MqttSession::~MqttSession() = default;

void MqttSession::apply(const MqttSettings &settings)
{
    if (m_client && settings.enabled && settings == m_settings)
        return;
    m_settings = settings;
    const bool wasOn = m_client != nullptr;
    // The old connection says "offline" on its way out.
    m_commands.reset();
    m_publisher.reset();
    m_client.reset();
    if (!settings.enabled) {
        if (wasOn)
            emit statusText(QStringLiteral("MQTT publishing off"));
        return;
    }
    m_client = std::make_unique<MqttClient>(settings);
    connect(m_client.get(), &MqttClient::statusText, this, &MqttSession::statusText);
    m_publisher = std::make_unique<MqttPublisher>(*m_client);
    m_publisher->attach(&m_instrument);
    m_commands = std::make_unique<MqttCommands>(*m_client);
    m_commands->attach(&m_instrument);
    m_client->start();
}

void MqttSession::takeTimelineEvent(const RecordEvent &event)
{
    using Kind = RecordEvent::Kind;
    if (!m_publisher)
        return;
    switch (event.kind) {
    case Kind::Mark:
    case Kind::LimitBreach:
    case Kind::SequenceStep:
    case Kind::RecordingStart:
    case Kind::RecordingStop:
        m_publisher->publishEvent(event);
        break;
    default:
        break;
    }
}

} // namespace qle
