#include "EnergyTally.h"

#include "platform/FormatPattern.h"
#include "protocol/ReplyReaders.h"

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
    for (int ch = 0; ch < m_channels; ++ch) {
        const auto at = static_cast<std::size_t>(ch);
        bool voltsOk = false;
        bool ampsOk = false;
        const double v = ReadNumber(volts[at].trimmed(), &voltsOk);
        const double a = ReadNumber(amps[at].trimmed(), &ampsOk);
        if (voltsOk && ampsOk && !volts[at].trimmed().isEmpty() && !amps[at].trimmed().isEmpty())
            m_counter.addReading(ch, v, a, atMs);
        else
            m_counter.gap(ch);
    }
}

QString EnergyTally::csvHeader() const
{
    QString header;
    for (int ch = 1; ch <= m_channels; ++ch)
        header += QStringLiteral(",Ch%1 W,Ch%1 Ah,Ch%1 Wh").arg(ch);
    return header;
}

QString EnergyTally::csvFields(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps) const
{
    QString fields;
    for (int ch = 0; ch < m_channels; ++ch) {
        const auto at = static_cast<std::size_t>(ch);
        const EnergyCounter::Channel c = m_counter.channel(ch);
        fields += u',' + PowerText(volts[at], amps[at]) + u',' + QString::number(c.chargeAh, 'f', 6) + u',' +
                  QString::number(c.energyWh, 'f', 6);
    }
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
