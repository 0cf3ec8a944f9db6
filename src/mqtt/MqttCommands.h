#pragma once

#include "instrument/Instrument.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

namespace qle {

class MqttClient;

// Set commands from the broker: each message on <prefix>/<bench>/command is
// one line as the control port takes it ("VOLT 1,5", "OUTP OFF"), read and
// applied by SetCommand with the same checks, and answered on
// <prefix>/<bench>/command/reply (QoS 1) as the control port would answer:
// "OK" or "ERR ...". Unless the settings allow commands every message is
// refused; anything but VOLT, CURR, OVP, OUTP and COUP is refused too.
class MqttCommands final : public QObject {
    Q_OBJECT
public:
    static constexpr int LongestLine = 4096;

    // Subscribes to the command topic; commands are taken when
    // client.settings().allowCommands.
    explicit MqttCommands(MqttClient &client, QObject *parent = nullptr);

    // The instrument the commands go to (nullptr: none).
    void attach(Instrument *instrument) { m_instrument = instrument; }

private:
    void onMessage(const QString &topic, const QByteArray &payload);
    void reply(const QString &text);
    // Why no set command can go to the instrument now; empty when one can.
    [[nodiscard]] QString notReady() const;

    MqttClient &m_client;
    QPointer<Instrument> m_instrument;
    QString m_commandTopic;
};

} // namespace qle
