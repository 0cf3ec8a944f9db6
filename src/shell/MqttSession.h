#pragma once

#include "mqtt/MqttSettings.h"
#include "recording/events/RecordEvent.h"

#include <QObject>

#include <memory>

namespace qle {

class Instrument;
class MqttClient;
class MqttCommands;
class MqttPublisher;

// The main window's publishing to the lab's MQTT broker, as File >
// Unattended... sets it: the connection, what is published of the
// instrument, and the commands taken from the broker. Made afresh when the
// settings change; nothing of it waits or touches a recording.
class MqttSession final : public QObject {
    Q_OBJECT
public:
    explicit MqttSession(Instrument &instrument, QObject *parent = nullptr);
    ~MqttSession() override;

    // Starts, restarts or ends publishing as `settings` say.
    void apply(const MqttSettings &settings);
    [[nodiscard]] bool isActive() const { return m_client != nullptr; }
    [[nodiscard]] MqttClient *client() const { return m_client.get(); }

    // A recording's event that the instrument cannot tell (a mark, a limit
    // breach, a sequence step, the recording's start and stop); the others
    // the publisher has from the instrument itself.
    void takeTimelineEvent(const RecordEvent &event);

signals:
    void statusText(const QString &text);

private:
    Instrument &m_instrument;
    MqttSettings m_settings;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<MqttPublisher> m_publisher;
    std::unique_ptr<MqttCommands> m_commands;
};

} // namespace qle
