#include "MqttCommands.h"

#include "MqttClient.h"

#include "instrument/SetCommand.h"

#include <variant>

namespace qle {

MqttCommands::MqttCommands(MqttClient &client, QObject *parent)
    : QObject(parent), m_client(client), m_commandTopic(client.topic(QStringLiteral("command")))
{
    connect(&m_client, &MqttClient::messageReceived, this, &MqttCommands::onMessage);
    m_client.subscribe(m_commandTopic, 1);
}

void MqttCommands::reply(const QString &text)
{
    m_client.publish(m_client.topic(QStringLiteral("command/reply")), text.toUtf8(), 1, false);
}

QString MqttCommands::notReady() const
{
    if (!m_instrument)
        return QStringLiteral("ERR no instrument");
    if (m_instrument->engine().isLinkGivenUp())
        return QStringLiteral("ERR link lost");
    if (m_instrument->state() != ConnectionState::Running)
        return QStringLiteral("ERR not connected");
    return {};
}

void MqttCommands::onMessage(const QString &topic, const QByteArray &payload)
{
    if (topic != m_commandTopic)
        return;
    if (!m_client.settings().allowCommands) {
        reply(QStringLiteral("ERR commands not allowed on this bench"));
        return;
    }
    if (payload.size() > LongestLine) {
        reply(QStringLiteral("ERR line too long"));
        return;
    }
    const QString line = QString::fromUtf8(payload).trimmed();
    if (!SetCommand::isSetWord(SetCommand::wordOf(line))) {
        reply(QStringLiteral("ERR not a set command"));
        return;
    }
    if (const QString why = notReady(); !why.isEmpty()) {
        reply(why);
        return;
    }
    const auto parsed = SetCommand::parse(line, m_instrument->channelCount());
    if (const QString *refusal = std::get_if<QString>(&parsed)) {
        reply(*refusal);
        return;
    }
    const QPointer<MqttCommands> self(this);
    std::get<SetCommand>(parsed).apply(*m_instrument, [self](const Outcome &outcome) {
        if (self)
            self->reply(SetCommand::replyTo(outcome));
    });
}

} // namespace qle
