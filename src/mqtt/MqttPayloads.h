#pragma once

#include "instrument/Instrument.h"
#include "recording/events/RecordEvent.h"

#include <QByteArray>
#include <QDateTime>

namespace qle::mqtt {

// The texts published under <prefix>/<bench>/: compact JSON objects with
// plain numbers, and the words of the state topics.

// instrument: {"model":"KMA-3303T","identity":"<*IDN? reply>","channels":3}.
[[nodiscard]] QByteArray instrumentPayload(const Instrument &instrument);
// ch<N>/set: {"voltage":5,"current":1,"ovp":5.5}, the values known only;
// empty while none is.
[[nodiscard]] QByteArray setValuesPayload(const ChannelState &state);
// ch<N>/measured: {"time":"2024-05-01T14:03:07.250+02:00","voltage":5,
// "current":0.5,"power":2.5}; the power V x A to three decimals, as the
// panels and the control port show it.
[[nodiscard]] QByteArray measuredPayload(const QDateTime &at, double voltage, double current);
// events: {"time":...,"kind":"set","channel":1,"source":"script","text":"..."};
// "channel" counts from 1 and is left out for none.
[[nodiscard]] QByteArray eventPayload(const RecordEvent &event);
// output: "on" / "off".
[[nodiscard]] QByteArray outputPayload(bool on);
// coupling: "independent", "track", "parallel".
[[nodiscard]] QByteArray couplingPayload(Coupling coupling);
// link: "up" / "lost".
[[nodiscard]] QByteArray linkPayload(bool up);

} // namespace qle::mqtt
