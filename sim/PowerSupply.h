#pragma once

#include "ElectricalModel.h"
#include "ModelTable.h"

#include <QList>

namespace psusim {

enum class Coupling {
    Independent = 0,
    Track = 1,    // series: output 2 follows output 1's voltage set point
    Parallel = 2, // outputs 1 and 2 act as one with twice the current limit
};

enum class SetResult { Ok, OutOfRange, NoSuchChannel, Conflict };

enum class Trip { None, OverVoltage, OverCurrent };

struct ChannelSettings {
    double volt = 0;
    double curr = 0;
    double ovp = 0;
    bool ocp = false;
};

// The regulation and protection logic of the whole instrument: set values,
// loads, output switch, coupling, trips and the setting memories. Channels
// are numbered from 1.
class PowerSupply {
public:
    explicit PowerSupply(const ModelInfo &model);

    [[nodiscard]] const ModelInfo &model() const { return m_model; }
    [[nodiscard]] int channelCount() const { return m_model.outputCount(); }
    [[nodiscard]] bool hasChannel(int ch) const { return ch >= 1 && ch <= channelCount(); }

    SetResult setVoltage(int ch, double volt);
    SetResult setCurrent(int ch, double curr);
    SetResult setOvp(int ch, double volt);
    SetResult setOcp(int ch, bool on);
    [[nodiscard]] const ChannelSettings &settings(int ch) const;

    SetResult setLoad(int ch, double ohms); // kOpenCircuit for no load
    [[nodiscard]] double load(int ch) const;

    // Switching on while a protection trip is latched leaves the output off.
    void setOutput(bool on);
    [[nodiscard]] bool outputOn() const { return m_outputOn; }

    SetResult setCoupling(Coupling coupling);
    [[nodiscard]] Coupling coupling() const { return m_coupling; }

    void forceTrip(int ch, Trip kind);
    void clearProtection();
    [[nodiscard]] Trip trip(int ch) const;
    [[nodiscard]] bool anyTrip() const;

    // What the output terminals carry right now (exact, without noise).
    [[nodiscard]] OperatingPoint reading(int ch) const;

    // Setting memories: colon family 0..9, legacy family 1..4.
    [[nodiscard]] int firstMemory() const;
    [[nodiscard]] int lastMemory() const;
    bool saveMemory(int n);
    bool recallMemory(int n);
    [[nodiscard]] int currentMemory() const { return m_currentMemory; }

    // Power-on settings; keeps the memories and the loads (which belong to
    // the outside world).
    void reset();

private:
    struct Channel {
        ChannelSettings set;
        double loadOhms = 10;
        Trip trip = Trip::None;
    };

    [[nodiscard]] OperatingPoint solve(int ch) const;
    void mirrorCoupledSettings(int fromCh);
    void checkProtection();
    [[nodiscard]] ChannelSettings defaults(int ch) const;
    [[nodiscard]] bool coupledPair(int ch) const;

    ModelInfo m_model;
    QList<Channel> m_channels;
    QList<QList<ChannelSettings>> m_memories;
    bool m_outputOn = false;
    Coupling m_coupling = Coupling::Independent;
    int m_currentMemory = 0;
};

} // namespace psusim
