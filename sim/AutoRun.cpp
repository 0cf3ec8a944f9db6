#include "AutoRun.h"

#include "PowerSupply.h"

#include <cstdlib>

namespace psusim {

AutoRun::AutoRun(PowerSupply &supply, int unitMs, QObject *parent)
    : QObject(parent), m_supply(supply), m_unitMs(unitMs > 0 ? unitMs : kDefaultUnitMs), m_start(supply.firstMemory()),
      m_end(supply.firstMemory())
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AutoRun::step);
}

bool AutoRun::setStart(int memory)
{
    if (memory < m_supply.firstMemory() || memory > m_supply.lastMemory())
        return false;
    m_start = memory;
    return true;
}

bool AutoRun::setEnd(int memory)
{
    if (memory < m_supply.firstMemory() || memory > m_supply.lastMemory())
        return false;
    m_end = memory;
    return true;
}

bool AutoRun::setCycles(int cycles)
{
    if (cycles < 0 || cycles > kMaxCycles)
        return false;
    m_cycles = cycles;
    return true;
}

bool AutoRun::setDelay(int units)
{
    if (units < 0 || units > kMaxDelay)
        return false;
    m_delay = units;
    return true;
}

int AutoRun::stepIntervalMs() const
{
    // A zero delay still waits one unit so that "for ever" cannot spin.
    return qMax(1, m_delay) * m_unitMs;
}

int AutoRun::stepsPerCycle() const
{
    return std::abs(m_end - m_start) + 1;
}

int AutoRun::memoryAt(int index) const
{
    return m_start <= m_end ? m_start + index : m_start - index;
}

void AutoRun::setRunning(bool on)
{
    if (on == m_running)
        return;
    m_running = on;
    if (!on) {
        m_timer.stop();
        return;
    }
    m_index = 0;
    m_cyclesDone = 0;
    m_supply.recallMemory(memoryAt(0));
    emit stepped(memoryAt(0));
    m_timer.start(stepIntervalMs());
}

void AutoRun::step()
{
    if (!m_running)
        return;
    ++m_index;
    if (m_index >= stepsPerCycle()) {
        m_index = 0;
        ++m_cyclesDone;
        if (m_cycles != 0 && m_cyclesDone >= m_cycles) {
            m_running = false;
            emit finished();
            return;
        }
    }
    m_supply.recallMemory(memoryAt(m_index));
    emit stepped(memoryAt(m_index));
    m_timer.start(stepIntervalMs());
}

} // namespace psusim
