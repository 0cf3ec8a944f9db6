#pragma once

#include "instrument/Instrument.h"
#include "recording/events/EventRecorder.h"
#include "recording/events/RecordEvent.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <deque>
#include <utility>

namespace qle {

class MqttClient;

// Publishes one instrument's state, readings and events through an
// MqttClient, under <prefix>/<bench>/ (README, "Publishing to MQTT"):
// instrument, output, coupling, link and ch<N>/set retained, again on every
// connection; ch<N>/measured as each channel's reading pair completes (QoS
// 0, dropped while the broker is away: the recording keeps the rows);
// events at QoS 1, kept in order while the broker is away (the oldest go
// past EventQueueLimit) and sent once it is back.
//
// The instrument's own events come from an EventRecorder of the
// publisher's, whether or not anything records; the others (marks, limit
// breaches, sequence steps, a recording's start and stop) come through
// publishEvent(). Nothing here waits or touches a recording.
class MqttPublisher final : public QObject {
    Q_OBJECT
public:
    static constexpr int EventQueueLimit = 1000;

    explicit MqttPublisher(MqttClient &client, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Publishes `instrument` from now on (nullptr: nothing more).
    void attach(Instrument *instrument);
    [[nodiscard]] Instrument *instrument() const { return m_instrument; }

    // An event the instrument cannot tell.
    void publishEvent(const RecordEvent &event);
    // Events waiting for the broker.
    [[nodiscard]] int queuedEvents() const { return static_cast<int>(m_events.size()); }

private:
    void publishState();
    void publishInstrument();
    void publishOutput();
    void publishCoupling();
    void publishLink();
    void publishSetValues(int channel);
    void onReading(int channel);
    void onState(ConnectionState state);
    void onLinkLost();
    void onConnected(bool connected);
    void onRecorderEvent(const RecordEvent &event);
    void sendEvent(const QByteArray &payload);
    void flushEvents();
    bool publishRetained(const QString &subtopic, const QByteArray &payload);

    MqttClient &m_client;
    QPointer<Instrument> m_instrument;
    QList<QMetaObject::Connection> m_connections;
    EventRecorder m_recorder;
    bool m_quietRecorder = false;
    std::optional<bool> m_linkUp;
    // Per channel, the times of the last reading pair published.
    QList<std::pair<qint64, qint64>> m_lastPair;
    std::deque<QByteArray> m_events;
    // The last payload of each retained subtopic the broker has had since
    // it connected.
    QHash<QString, QByteArray> m_retained;
};

} // namespace qle
