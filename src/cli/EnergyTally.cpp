#include "EnergyTally.h"

#include <algorithm>
#include <cmath>

namespace qle::cli {

EnergyTally::EnergyTally(int channels, double intervalSec) : m_channels(std::clamp(channels, 1, 3))
{
    m_counter.setGapLimitMs(std::llround(2 * intervalSec * 1000));
}

void EnergyTally::start()
{
    m_counter.start();
}

void EnergyTally::stop()
{
    m_counter.stop();
}

void EnergyTally::attach(Instrument *instrument)
{
    m_counter.attach(instrument);
}

void EnergyTally::add(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps, qint64 atMs)
{
    for (int ch = 0; ch < m_channels; ++ch)
        m_counter.addReadingText(ch, volts[static_cast<std::size_t>(ch)], amps[static_cast<std::size_t>(ch)], atMs);
}

QString EnergyTally::csvHeader() const
{
    return EnergyCounter::csvHeader(m_channels);
}

QString EnergyTally::csvFields(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps) const
{
    QString fields;
    for (int ch = 0; ch < m_channels; ++ch)
        fields += m_counter.csvFields(ch, volts[static_cast<std::size_t>(ch)], amps[static_cast<std::size_t>(ch)]);
    return fields;
}

QString EnergyTally::summary() const
{
    QString lines;
    for (int ch = 0; ch < m_channels; ++ch) {
        const EnergyCounter::Channel c = m_counter.channel(ch);
        lines += QStringLiteral("CH%1: %2 Ah, %3 Wh\n")
                     .arg(ch + 1)
                     .arg(QString::number(c.chargeAh, 'f', 4), QString::number(c.energyWh, 'f', 4));
    }
    return lines;
}

QList<ChannelTotal> EnergyTally::totals() const
{
    return m_counter.totals();
}

} // namespace qle::cli
