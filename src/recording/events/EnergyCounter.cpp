#include "EnergyCounter.h"

#include "instrument/Instrument.h"
#include "platform/FormatPattern.h"
#include "protocol/ReplyReaders.h"

namespace qle {
namespace {

constexpr double MsPerHour = 3600.0 * 1000.0;

} // namespace

EnergyCounter::EnergyCounter(QObject *parent) : QObject(parent)
{
}

EnergyCounter::~EnergyCounter()
{
    detach();
}

void EnergyCounter::setGapLimitMs(qint64 ms)
{
    m_gapLimitMs = qMax<qint64>(ms, 0);
}

void EnergyCounter::attach(Instrument *instrument)
{
    detach();
    m_instrument = instrument;
    if (!instrument)
        return;
    m_connections = {
        connect(instrument, &Instrument::readingChanged, this, &EnergyCounter::onReading),
        connect(instrument, &Instrument::outputChanged, this,
                [this](bool on, ChangeSource) {
                    if (!on)
                        gapAll();
                }),
        connect(instrument, &Instrument::linkLost, this, [this] { gapAll(); }),
    };
}

void EnergyCounter::detach()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_instrument = nullptr;
    m_fresh.clear();
}

void EnergyCounter::start()
{
    // A pair from before the start must not open the first trapezoid.
    closeSegments();
    m_running = true;
}

void EnergyCounter::stop()
{
    m_running = false;
    closeSegments();
}

void EnergyCounter::closeSegments()
{
    for (Channel &c : m_channels)
        c.inSegment = false;
}

void EnergyCounter::reset()
{
    m_channels.clear();
    m_fresh.clear();
}

EnergyCounter::Channel &EnergyCounter::slot(int channel)
{
    if (channel >= m_channels.size())
        m_channels.resize(channel + 1);
    return m_channels[channel];
}

void EnergyCounter::addReading(int channel, double volts, double amps, qint64 atMs)
{
    if (channel < 0)
        return;
    if (!qIsFinite(volts) || !qIsFinite(amps)) {
        gap(channel);
        return;
    }
    Channel &c = slot(channel);
    if (m_running) {
        const qint64 dt = atMs - c.lastAtMs;
        // Within the segment; a pair from the past or further than the gap
        // limit begins a new one.
        if (c.inSegment && dt >= 0 && dt <= m_gapLimitMs) {
            const double hours = static_cast<double>(dt) / MsPerHour;
            c.chargeAh += (*c.amps + amps) / 2.0 * hours;
            c.energyWh += (*c.volts * *c.amps + volts * amps) / 2.0 * hours;
            c.countedMs += dt;
        } else {
            ++c.segments;
        }
        ++c.pairs;
    }
    // Outside a recording the pair only tells the power.
    c.inSegment = m_running;
    c.volts = volts;
    c.amps = amps;
    c.lastAtMs = atMs;
    emit totalsChanged(channel);
}

void EnergyCounter::gap(int channel)
{
    if (channel < 0 || channel >= m_channels.size())
        return;
    Channel &c = m_channels[channel];
    const bool hadPower = c.volts && c.amps;
    c.inSegment = false;
    c.volts.reset();
    c.amps.reset();
    if (channel < m_fresh.size())
        m_fresh[channel] = {};
    if (hadPower)
        emit totalsChanged(channel);
}

void EnergyCounter::gapAll()
{
    for (int ch = 0; ch < m_channels.size(); ++ch)
        gap(ch);
    m_fresh.clear();
}

std::optional<double> EnergyCounter::powerW(int channel) const
{
    if (channel < 0 || channel >= m_channels.size())
        return std::nullopt;
    const Channel &c = m_channels.at(channel);
    if (!c.volts || !c.amps)
        return std::nullopt;
    return *c.volts * *c.amps;
}

EnergyCounter::Channel EnergyCounter::channel(int channel) const
{
    return channel >= 0 && channel < m_channels.size() ? m_channels.at(channel) : Channel{};
}

QList<ChannelTotal> EnergyCounter::totals() const
{
    QList<ChannelTotal> totals;
    for (int ch = 0; ch < m_channels.size(); ++ch) {
        if (m_channels.at(ch).pairs > 0)
            totals.append({ch, m_channels.at(ch).chargeAh, m_channels.at(ch).energyWh});
    }
    return totals;
}

void EnergyCounter::onReading(int channel, bool current)
{
    if (!m_instrument || channel < 0)
        return;
    const ChannelState &state = m_instrument->channel(channel);
    const std::optional<Reading> &reading = current ? state.current : state.voltage;
    if (channel >= m_fresh.size())
        m_fresh.resize(channel + 1);
    Fresh &fresh = m_fresh[channel];
    // A blank reading, or one that is not a number: the segment ends.
    if (!reading) {
        gap(channel);
        fresh = {};
        return;
    }
    (current ? fresh.amps : fresh.volts) = true;
    if (!fresh.volts || !fresh.amps || !state.voltage || !state.current)
        return;
    fresh = {};
    addReading(channel, state.voltage->value, state.current->value, qMax(state.voltage->atMs, state.current->atMs));
}

void EnergyCounter::addReadingText(int channel, const QString &volts, const QString &amps, qint64 atMs)
{
    bool voltsOk = false;
    bool ampsOk = false;
    const QString v = StripUnit(volts.trimmed(), u'V');
    const QString a = StripUnit(amps.trimmed(), u'A');
    const double voltsValue = ReadNumber(v, &voltsOk);
    const double ampsValue = ReadNumber(a, &ampsOk);
    if (voltsOk && ampsOk && !v.isEmpty() && !a.isEmpty())
        addReading(channel, voltsValue, ampsValue, atMs);
    else
        gap(channel);
}

QString EnergyCounter::csvHeader(int channels)
{
    QString header;
    for (int ch = 1; ch <= channels; ++ch)
        header += QStringLiteral(",Ch%1 W,Ch%1 Ah,Ch%1 Wh").arg(ch);
    return header;
}

QString EnergyCounter::csvFields(int channel, const QString &volts, const QString &amps) const
{
    const Channel totals = this->channel(channel);
    return u',' + PowerText(volts, amps) + u',' + QString::number(totals.chargeAh, 'f', 6) + u',' +
           QString::number(totals.energyWh, 'f', 6);
}

} // namespace qle
