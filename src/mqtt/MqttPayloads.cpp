#include "MqttPayloads.h"

#include "recording/events/EventRecorder.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace qle::mqtt {
namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray instrumentPayload(const Instrument &instrument)
{
    return compact({{"model", instrument.model()},
                    {"identity", instrument.identity().trimmed()},
                    {"channels", instrument.channelCount()}});
}

QByteArray setValuesPayload(const ChannelState &state)
{
    QJsonObject values;
    if (state.setVoltage)
        values.insert("voltage", *state.setVoltage);
    if (state.setCurrent)
        values.insert("current", *state.setCurrent);
    if (state.overVoltage)
        values.insert("ovp", *state.overVoltage);
    return values.isEmpty() ? QByteArray() : compact(values);
}

QByteArray measuredPayload(const QDateTime &at, double voltage, double current)
{
    const double power = std::round(voltage * current * 1000.0) / 1000.0;
    return compact({{"time", RecordEvent::isoTime(at)}, {"voltage", voltage}, {"current", current}, {"power", power}});
}

QByteArray eventPayload(const RecordEvent &event)
{
    QJsonObject object{{"time", RecordEvent::isoTime(event.at)},
                       {"kind", RecordEvent::kindName(event.kind)},
                       {"source", RecordEvent::sourceName(event.source)},
                       {"text", event.text}};
    if (event.channel >= 0)
        object.insert("channel", event.channel + 1);
    return compact(object);
}

QByteArray outputPayload(bool on)
{
    return on ? QByteArrayLiteral("on") : QByteArrayLiteral("off");
}

QByteArray couplingPayload(Coupling coupling)
{
    return EventRecorder::couplingName(coupling).toUtf8();
}

QByteArray linkPayload(bool up)
{
    return up ? QByteArrayLiteral("up") : QByteArrayLiteral("lost");
}

} // namespace qle::mqtt
