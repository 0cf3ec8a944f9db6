#include "Instrument.h"

#include "ColonInterpreter.h"
#include "LegacyInterpreter.h"
#include "NumberText.h"

#include <cmath>

namespace psusim {

namespace {
const char *tripName(Trip trip)
{
    switch (trip) {
    case Trip::OverVoltage:
        return "ovp";
    case Trip::OverCurrent:
        return "ocp";
    case Trip::None:
        break;
    }
    return "none";
}

const char *couplingName(Coupling coupling)
{
    switch (coupling) {
    case Coupling::Track:
        return "track";
    case Coupling::Parallel:
        return "parallel";
    case Coupling::Independent:
        break;
    }
    return "indep";
}
} // namespace

Instrument::Instrument(const ModelInfo &model, const InstrumentConfig &config, QObject *parent)
    : QObject(parent), m_config(config)
{
    build(model);
}

Instrument::~Instrument() = default;

void Instrument::build(const ModelInfo &model)
{
    m_interpreter.reset();
    m_core = std::make_unique<InstrumentCore>(model, m_config);
    if (model.family == CommandFamily::Legacy)
        m_interpreter = std::make_unique<LegacyInterpreter>(*m_core);
    else
        m_interpreter = std::make_unique<ColonInterpreter>(*m_core);
    connect(&m_core->autoRun, &AutoRun::stepped, this,
            [this](int memory) { emit event(QStringLiteral("autorun recall %1").arg(memory)); });
    connect(&m_core->autoRun, &AutoRun::finished, this, [this] { emit event(QStringLiteral("autorun done")); });
}

void Instrument::setModel(const ModelInfo &model)
{
    build(model);
}

std::optional<QByteArray> Instrument::execute(const QByteArray &line)
{
    const bool trippedBefore = m_core->supply.anyTrip();
    std::optional<QByteArray> reply = m_interpreter->execute(line);
    if (!trippedBefore && m_core->supply.anyTrip()) {
        for (int ch = 1; ch <= m_core->supply.channelCount(); ++ch) {
            if (m_core->supply.trip(ch) != Trip::None)
                emit event(QStringLiteral("trip %1 %2").arg(QLatin1String(tripName(m_core->supply.trip(ch)))).arg(ch));
        }
    }
    return reply;
}

QByteArray Instrument::statusSummary() const
{
    const PowerSupply &s = m_core->supply;
    QByteArray text = "model=" + s.model().name.toLatin1() + " output=" + (s.outputOn() ? "on" : "off") +
                      " coupling=" + couplingName(s.coupling()) +
                      " autorun=" + (m_core->autoRun.isRunning() ? "on" : "off") +
                      " memory=" + QByteArray::number(s.currentMemory());
    for (int ch = 1; ch <= s.channelCount(); ++ch) {
        const ChannelSettings &set = s.settings(ch);
        const OperatingPoint point = s.reading(ch);
        const QByteArray load = std::isinf(s.load(ch)) ? QByteArray("open") : QByteArray::number(s.load(ch));
        text += " ch" + QByteArray::number(ch) + "=" + formatFixed3(set.volt) + "V/" + formatFixed3(set.curr) + "A" +
                ",ovp=" + formatFixed3(set.ovp) + ",ocp=" + (set.ocp ? "1" : "0") + ",load=" + load +
                ",out=" + formatFixed3(point.volt) + "V/" + formatFixed3(point.curr) + "A" +
                (point.constantCurrent ? ",CC" : ",CV") + ",trip=" + tripName(s.trip(ch));
    }
    return text;
}

} // namespace psusim
