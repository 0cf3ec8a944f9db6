#include "MqttPublisher.h"

#include "MqttClient.h"
#include "MqttPayloads.h"

#include "platform/Clock.h"
#include "platform/Platform.h"

namespace qle {
namespace {

const QString Events = QStringLiteral("events");

QString channelTopic(int channel, const char *what)
{
    return QStringLiteral("ch%1/%2").arg(channel + 1).arg(QLatin1String(what));
}

// The wall clock of a reading that arrived at `atMs` on the monotonic clock.
QDateTime wallClockOf(qint64 atMs)
{
    const auto nowMs = static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
    return QDateTime::currentDateTime().addMSecs(atMs - nowMs);
}

} // namespace

MqttPublisher::MqttPublisher(MqttClient &client, QObject *parent) : QObject(parent), m_client(client)
{
    connect(&m_client, &MqttClient::connectedChanged, this, &MqttPublisher::onConnected);
    connect(&m_recorder, &EventRecorder::eventAdded, this, &MqttPublisher::onRecorderEvent);
}

MqttPublisher::~MqttPublisher()
{
    attach(nullptr);
}

void MqttPublisher::attach(Instrument *instrument)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    // The recorder's own start and stop are no events of the instrument's.
    m_quietRecorder = true;
    m_recorder.stop(RecordEvent::Source::Program);
    m_quietRecorder = false;
    m_recorder.detach();
    m_recorder.clear();
    m_instrument = instrument;
    m_lastPair.clear();
    m_linkUp.reset();
    if (!instrument)
        return;
    m_connections = {
        connect(instrument, &Instrument::settingChanged, this, [this](int channel) { publishSetValues(channel); }),
        connect(instrument, &Instrument::outputChanged, this, &MqttPublisher::publishOutput),
        connect(instrument, &Instrument::couplingChanged, this, &MqttPublisher::publishCoupling),
        connect(instrument, &Instrument::readingChanged, this, &MqttPublisher::onReading),
        connect(instrument, &Instrument::stateChanged, this, &MqttPublisher::onState),
        connect(instrument, &Instrument::modelChanged, this, &MqttPublisher::publishState),
        connect(instrument, &Instrument::linkLost, this, &MqttPublisher::onLinkLost),
    };
    if (instrument->state() == ConnectionState::Running)
        m_linkUp = true;
    m_recorder.attach(instrument);
    m_quietRecorder = true;
    m_recorder.start(RecordEvent::Source::Program);
    m_quietRecorder = false;
    publishState();
}

void MqttPublisher::publishEvent(const RecordEvent &event)
{
    RecordEvent dated = event;
    if (!dated.at.isValid())
        dated.at = QDateTime::currentDateTime();
    sendEvent(mqtt::eventPayload(dated));
}

bool MqttPublisher::publishRetained(const QString &subtopic, const QByteArray &payload)
{
    // The broker keeps the last one: the same again tells nobody anything.
    auto last = m_retained.find(subtopic);
    if (last != m_retained.end() && *last == payload)
        return true;
    if (!m_client.publish(m_client.topic(subtopic), payload, 1, true))
        return false;
    m_retained.insert(subtopic, payload);
    return true;
}

void MqttPublisher::publishState()
{
    if (!m_instrument || !m_client.isConnected())
        return;
    publishInstrument();
    publishLink();
    publishOutput();
    publishCoupling();
    for (int ch = 0; ch < m_instrument->channelCount(); ++ch)
        publishSetValues(ch);
}

void MqttPublisher::publishInstrument()
{
    if (m_instrument && !m_instrument->model().isEmpty())
        publishRetained(QStringLiteral("instrument"), mqtt::instrumentPayload(*m_instrument));
}

void MqttPublisher::publishOutput()
{
    if (m_instrument && m_instrument->output())
        publishRetained(QStringLiteral("output"), mqtt::outputPayload(*m_instrument->output()));
}

void MqttPublisher::publishCoupling()
{
    if (m_instrument && m_instrument->coupling())
        publishRetained(QStringLiteral("coupling"), mqtt::couplingPayload(*m_instrument->coupling()));
}

void MqttPublisher::publishLink()
{
    if (m_linkUp)
        publishRetained(QStringLiteral("link"), mqtt::linkPayload(*m_linkUp));
}

void MqttPublisher::publishSetValues(int channel)
{
    if (!m_instrument)
        return;
    const QByteArray payload = mqtt::setValuesPayload(m_instrument->channel(channel));
    if (!payload.isEmpty())
        publishRetained(channelTopic(channel, "set"), payload);
}

void MqttPublisher::onReading(int channel)
{
    if (!m_instrument || channel < 0)
        return;
    const ChannelState &state = m_instrument->channel(channel);
    if (!state.voltage || !state.current)
        return;
    if (m_lastPair.size() <= channel)
        m_lastPair.resize(channel + 1, {-1, -1});
    std::pair<qint64, qint64> &last = m_lastPair[channel];
    // A pair is complete once both readings are newer than the last published.
    if (state.voltage->atMs <= last.first || state.current->atMs <= last.second)
        return;
    last = {state.voltage->atMs, state.current->atMs};
    // Live values: while the broker is away they are dropped.
    if (!m_client.isConnected())
        return;
    const QDateTime at = wallClockOf(std::max(state.voltage->atMs, state.current->atMs));
    m_client.publish(m_client.topic(channelTopic(channel, "measured")),
                     mqtt::measuredPayload(at, state.voltage->value, state.current->value), 0, false);
}

void MqttPublisher::onState(ConnectionState state)
{
    if (state != ConnectionState::Running)
        return;
    // A new connection may be another model.
    m_linkUp = true;
    publishState();
}

void MqttPublisher::onLinkLost()
{
    m_linkUp = false;
    publishLink();
}

void MqttPublisher::onConnected(bool connected)
{
    if (!connected)
        return;
    // The broker may have restarted without its retained messages.
    m_retained.clear();
    publishState();
    flushEvents();
}

void MqttPublisher::onRecorderEvent(const RecordEvent &event)
{
    if (!m_quietRecorder)
        sendEvent(mqtt::eventPayload(event));
    // The events are published, not kept here.
    m_recorder.clear();
}

void MqttPublisher::sendEvent(const QByteArray &payload)
{
    m_events.push_back(payload);
    if (m_events.size() > EventQueueLimit)
        m_events.pop_front();
    flushEvents();
}

void MqttPublisher::flushEvents()
{
    while (!m_events.empty() && m_client.publish(m_client.topic(Events), m_events.front(), 1, false))
        m_events.pop_front();
}

} // namespace qle
