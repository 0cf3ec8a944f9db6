#include "LimitWatcher.h"

#include "EnergyCounter.h"
#include "EventRecorder.h"
#include "instrument/Instrument.h"

namespace qle {

LimitWatcher::LimitWatcher(QObject *parent) : QObject(parent)
{
}

LimitWatcher::~LimitWatcher()
{
    detach();
}

void LimitWatcher::ensure(int channel)
{
    while (m_limits.size() <= channel) {
        m_limits.append(ChannelLimits{});
        m_breached.append(std::array<bool, LimitKindCount>{});
    }
}

void LimitWatcher::setLimits(int channel, const ChannelLimits &limits)
{
    if (channel < 0)
        return;
    ensure(channel);
    m_limits[channel] = limits;
    m_breached[channel] = {};
}

ChannelLimits LimitWatcher::limits(int channel) const
{
    return channel >= 0 && channel < m_limits.size() ? m_limits.at(channel) : ChannelLimits{};
}

void LimitWatcher::setHysteresis(double share)
{
    m_hysteresis = qIsFinite(share) ? qMax(share, 0.0) : DefaultHysteresis;
}

void LimitWatcher::setRecorder(EventRecorder *recorder)
{
    m_recorder = recorder;
}

void LimitWatcher::attach(Instrument *instrument, EnergyCounter *counter)
{
    detach();
    m_instrument = instrument;
    m_counter = counter;
    if (instrument)
        m_connections.append(connect(instrument, &Instrument::readingChanged, this, &LimitWatcher::onReading));
    if (counter)
        m_connections.append(connect(counter, &EnergyCounter::totalsChanged, this, &LimitWatcher::onTotals));
}

void LimitWatcher::detach()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_instrument = nullptr;
    m_counter = nullptr;
}

void LimitWatcher::rearm()
{
    for (auto &breached : m_breached)
        breached = {};
}

bool LimitWatcher::isBreached(int channel, LimitKind kind) const
{
    return channel >= 0 && channel < m_breached.size() && m_breached.at(channel).at(static_cast<std::size_t>(kind));
}

void LimitWatcher::checkReading(int channel, double volts, double amps, qint64 atMs)
{
    checkValue(channel, LimitKind::VoltageLow, volts, atMs);
    checkValue(channel, LimitKind::VoltageHigh, volts, atMs);
    checkValue(channel, LimitKind::CurrentLow, amps, atMs);
    checkValue(channel, LimitKind::CurrentHigh, amps, atMs);
    checkValue(channel, LimitKind::PowerLow, volts * amps, atMs);
    checkValue(channel, LimitKind::PowerHigh, volts * amps, atMs);
}

void LimitWatcher::checkTotals(int channel, double chargeAh, double energyWh, qint64 atMs)
{
    checkValue(channel, LimitKind::ChargeHigh, chargeAh, atMs);
    checkValue(channel, LimitKind::EnergyHigh, energyWh, atMs);
}

void LimitWatcher::checkValue(int channel, LimitKind kind, double value, qint64 atMs)
{
    if (channel < 0 || channel >= m_limits.size() || !qIsFinite(value))
        return;
    const std::optional<Limit> &limit = m_limits.at(channel)[kind];
    if (!limit)
        return;
    bool &outside = m_breached[channel].at(static_cast<std::size_t>(kind));
    const double band = qAbs(limit->value) * m_hysteresis;
    const bool upper = ChannelLimits::isUpper(kind);
    if (outside) {
        // Armed again only once back inside by the band.
        if (upper ? value <= limit->value - band : value >= limit->value + band)
            outside = false;
        return;
    }
    if (!(upper ? value > limit->value : value < limit->value))
        return;
    outside = true;
    const QString text = breachText(channel, kind, value, limit->value) + QStringLiteral(" (") +
                         ChannelLimits::actionName(limit->action) + QLatin1Char(')');
    if (m_recorder)
        m_recorder->note(RecordEvent::Kind::LimitBreach, channel, RecordEvent::Source::Program, text, atMs);
    if (limit->action == LimitAction::OutputOff && m_instrument)
        m_instrument->setOutput(false, ChangeSource::Program, [](const Outcome &) {});
    emit breached(channel, kind, limit->action, text);
}

QString LimitWatcher::breachText(int channel, LimitKind kind, double value, double limit)
{
    const QString unit = QLatin1Char(' ') + ChannelLimits::unit(kind);
    return RecordEvent::channelLabel(channel) + QLatin1Char(' ') + ChannelLimits::quantity(kind) + QLatin1Char(' ') +
           EventRecorder::number(value) + unit +
           (ChannelLimits::isUpper(kind) ? QStringLiteral(" above ") : QStringLiteral(" below ")) +
           EventRecorder::number(limit) + unit;
}

void LimitWatcher::onReading(int channel, bool current)
{
    if (!m_instrument)
        return;
    const ChannelState &state = m_instrument->channel(channel);
    const std::optional<Reading> &reading = current ? state.current : state.voltage;
    if (!reading)
        return;
    checkValue(channel, current ? LimitKind::CurrentLow : LimitKind::VoltageLow, reading->value, reading->atMs);
    checkValue(channel, current ? LimitKind::CurrentHigh : LimitKind::VoltageHigh, reading->value, reading->atMs);
    if (state.voltage && state.current) {
        const double power = state.voltage->value * state.current->value;
        checkValue(channel, LimitKind::PowerLow, power, reading->atMs);
        checkValue(channel, LimitKind::PowerHigh, power, reading->atMs);
    }
}

void LimitWatcher::onTotals(int channel)
{
    if (!m_counter)
        return;
    const EnergyCounter::Channel totals = m_counter->channel(channel);
    checkTotals(channel, totals.chargeAh, totals.energyWh, totals.lastAtMs);
}

} // namespace qle
