#pragma once

#include "mqtt/MqttClient.h"
#include "mqtt/MqttCommands.h"
#include "mqtt/MqttPublisher.h"

#include <QString>

#include <functional>

namespace qle::cli {

// qle-cli log --mqtt URL: the instrument model, fed by the log's readings,
// published to the broker alongside the rows. Nothing waits for the broker
// while the log runs; each new status line ("MQTT broker ... not reachable,
// retrying in 5 s") is told through `say`. Commands from the broker are
// never taken here: each is answered "ERR commands not allowed on this
// bench".
class MqttLog final {
public:
    MqttLog(Instrument &instrument, MqttSettings settings, std::function<void(const QString &)> say);

    // "offline", then a clean disconnection: the event loop runs until the
    // client has stopped, at most MqttClient::StopLimitMs and a little more.
    void finish();

private:
    MqttClient m_client;
    MqttPublisher m_publisher;
    MqttCommands m_commands;
    QString m_lastStatus;
};

} // namespace qle::cli
