#include "PowerSupply.h"

namespace psusim {

namespace {
constexpr double kTolerance = 1e-9;

bool within(double value, double max)
{
    return value >= 0 && value <= max + kTolerance;
}
} // namespace

PowerSupply::PowerSupply(const ModelInfo &model) : m_model(model)
{
    m_channels.resize(channelCount());
    reset();
    QList<ChannelSettings> power;
    for (int ch = 1; ch <= channelCount(); ++ch)
        power.append(defaults(ch));
    m_memories = QList<QList<ChannelSettings>>(lastMemory() + 1, power);
}

ChannelSettings PowerSupply::defaults(int ch) const
{
    const OutputLimits &limits = m_model.outputs.at(ch - 1);
    ChannelSettings s;
    s.volt = 0;
    s.curr = limits.currMax;
    s.ovp = limits.ovpMax;
    s.ocp = false;
    return s;
}

void PowerSupply::reset()
{
    for (int ch = 1; ch <= channelCount(); ++ch) {
        m_channels[ch - 1].set = defaults(ch);
        m_channels[ch - 1].trip = Trip::None;
    }
    m_outputOn = false;
    m_coupling = Coupling::Independent;
    m_currentMemory = firstMemory();
}

const ChannelSettings &PowerSupply::settings(int ch) const
{
    return m_channels.at(ch - 1).set;
}

bool PowerSupply::coupledPair(int ch) const
{
    return m_coupling != Coupling::Independent && (ch == 1 || ch == 2) && channelCount() >= 2;
}

void PowerSupply::mirrorCoupledSettings(int fromCh)
{
    if (!coupledPair(fromCh))
        return;
    const int other = fromCh == 1 ? 2 : 1;
    m_channels[other - 1].set.volt = m_channels[fromCh - 1].set.volt;
    if (m_coupling == Coupling::Parallel)
        m_channels[other - 1].set.curr = m_channels[fromCh - 1].set.curr;
}

SetResult PowerSupply::setVoltage(int ch, double volt)
{
    if (!hasChannel(ch))
        return SetResult::NoSuchChannel;
    if (!within(volt, m_model.outputs.at(ch - 1).voltMax))
        return SetResult::OutOfRange;
    if (coupledPair(ch) && !within(volt, m_model.outputs.at(2 - ch).voltMax))
        return SetResult::OutOfRange;
    m_channels[ch - 1].set.volt = volt;
    mirrorCoupledSettings(ch);
    checkProtection();
    return SetResult::Ok;
}

SetResult PowerSupply::setCurrent(int ch, double curr)
{
    if (!hasChannel(ch))
        return SetResult::NoSuchChannel;
    if (!within(curr, m_model.outputs.at(ch - 1).currMax))
        return SetResult::OutOfRange;
    m_channels[ch - 1].set.curr = curr;
    mirrorCoupledSettings(ch);
    checkProtection();
    return SetResult::Ok;
}

SetResult PowerSupply::setOvp(int ch, double volt)
{
    if (!hasChannel(ch))
        return SetResult::NoSuchChannel;
    if (!m_model.hasOvp() || !within(volt, m_model.outputs.at(ch - 1).ovpMax))
        return SetResult::OutOfRange;
    m_channels[ch - 1].set.ovp = volt;
    checkProtection();
    return SetResult::Ok;
}

SetResult PowerSupply::setOcp(int ch, bool on)
{
    if (!hasChannel(ch))
        return SetResult::NoSuchChannel;
    m_channels[ch - 1].set.ocp = on;
    checkProtection();
    return SetResult::Ok;
}

SetResult PowerSupply::setLoad(int ch, double ohms)
{
    if (!hasChannel(ch))
        return SetResult::NoSuchChannel;
    if (!(ohms >= 0))
        return SetResult::OutOfRange;
    m_channels[ch - 1].loadOhms = ohms;
    checkProtection();
    return SetResult::Ok;
}

double PowerSupply::load(int ch) const
{
    return m_channels.at(ch - 1).loadOhms;
}

void PowerSupply::setOutput(bool on)
{
    m_outputOn = on && !anyTrip();
    checkProtection();
}

SetResult PowerSupply::setCoupling(Coupling coupling)
{
    if (coupling != Coupling::Independent && channelCount() < 2)
        return SetResult::Conflict;
    m_coupling = coupling;
    mirrorCoupledSettings(1);
    checkProtection();
    return SetResult::Ok;
}

void PowerSupply::forceTrip(int ch, Trip kind)
{
    if (!hasChannel(ch) || kind == Trip::None)
        return;
    m_channels[ch - 1].trip = kind;
    m_outputOn = false;
}

void PowerSupply::clearProtection()
{
    for (Channel &channel : m_channels)
        channel.trip = Trip::None;
}

Trip PowerSupply::trip(int ch) const
{
    return m_channels.at(ch - 1).trip;
}

bool PowerSupply::anyTrip() const
{
    for (const Channel &channel : m_channels) {
        if (channel.trip != Trip::None)
            return true;
    }
    return false;
}

OperatingPoint PowerSupply::solve(int ch) const
{
    if (m_coupling == Coupling::Parallel && coupledPair(ch)) {
        // One combined output into channel 1's load; each channel carries half.
        const Channel &lead = m_channels.at(0);
        OperatingPoint combined = solveOutput(lead.set.volt, 2 * lead.set.curr, lead.loadOhms);
        combined.curr /= 2;
        return combined;
    }
    const Channel &channel = m_channels.at(ch - 1);
    return solveOutput(channel.set.volt, channel.set.curr, channel.loadOhms);
}

OperatingPoint PowerSupply::reading(int ch) const
{
    if (!hasChannel(ch) || !m_outputOn)
        return {};
    return solve(ch);
}

void PowerSupply::checkProtection()
{
    if (!m_outputOn)
        return;
    for (int ch = 1; ch <= channelCount(); ++ch) {
        const OperatingPoint point = solve(ch);
        const ChannelSettings &s = settings(ch);
        if (m_model.hasOvp() && point.volt > s.ovp + kTolerance)
            m_channels[ch - 1].trip = Trip::OverVoltage;
        else if (s.ocp && point.constantCurrent)
            m_channels[ch - 1].trip = Trip::OverCurrent;
    }
    if (anyTrip())
        m_outputOn = false;
}

int PowerSupply::firstMemory() const
{
    return m_model.family == CommandFamily::Legacy ? 1 : 0;
}

int PowerSupply::lastMemory() const
{
    return m_model.family == CommandFamily::Legacy ? 4 : 9;
}

bool PowerSupply::saveMemory(int n)
{
    if (n < firstMemory() || n > lastMemory())
        return false;
    QList<ChannelSettings> snapshot;
    for (const Channel &channel : m_channels)
        snapshot.append(channel.set);
    m_memories[n] = snapshot;
    m_currentMemory = n;
    return true;
}

bool PowerSupply::recallMemory(int n)
{
    if (n < firstMemory() || n > lastMemory())
        return false;
    const QList<ChannelSettings> &snapshot = m_memories.at(n);
    for (int i = 0; i < m_channels.size(); ++i)
        m_channels[i].set = snapshot.at(i);
    mirrorCoupledSettings(1);
    m_currentMemory = n;
    checkProtection();
    return true;
}

} // namespace psusim
