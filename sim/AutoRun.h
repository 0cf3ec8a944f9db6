#pragma once

#include <QObject>
#include <QTimer>

namespace psusim {

class PowerSupply;

// The auto-run sequencer: recalls memories start..end one after the other,
// waiting delay x unit between steps, repeats for the cycle count (0 = for
// ever) and then switches itself off.
class AutoRun : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultUnitMs = 100;
    static constexpr int kMaxDelay = 99;
    static constexpr int kMaxCycles = 99999;

    explicit AutoRun(PowerSupply &supply, int unitMs = kDefaultUnitMs, QObject *parent = nullptr);

    bool setStart(int memory);
    bool setEnd(int memory);
    bool setCycles(int cycles);
    bool setDelay(int units);
    [[nodiscard]] int start() const { return m_start; }
    [[nodiscard]] int end() const { return m_end; }
    [[nodiscard]] int cycles() const { return m_cycles; }
    [[nodiscard]] int delay() const { return m_delay; }

    void setRunning(bool on);
    [[nodiscard]] bool isRunning() const { return m_running; }

signals:
    void stepped(int memory);
    void finished();

private:
    void step();
    [[nodiscard]] int stepIntervalMs() const;
    [[nodiscard]] int memoryAt(int index) const;
    [[nodiscard]] int stepsPerCycle() const;

    PowerSupply &m_supply;
    int m_unitMs;
    QTimer m_timer;
    int m_start;
    int m_end;
    int m_cycles = 1;
    int m_delay = 1;
    bool m_running = false;
    int m_index = 0;
    int m_cyclesDone = 0;
};

} // namespace psusim
