#pragma once

#include <QString>

namespace qle {

// The two command families: the colon-separated one of most models and the
// older one of model QLE-5505.
enum class CommandFamily { Colon, Legacy };
enum class Coupling { Independent, Parallel, Track };

CommandFamily familyFor(const QString &machineType);

QString OutputCommand(CommandFamily family, bool on);
// One coding both ways on both families: 0 independent, 1 track, 2 parallel.
QString CouplingCommand(CommandFamily family, Coupling coupling);
// The colon family's reply to the coupling query: "0" independent, "2"
// parallel, "1" and anything else track.
Coupling CouplingFromReply(const QString &reply);
QString SaveMemoryCommand(CommandFamily family, int memory);
QString RecallMemoryCommand(CommandFamily family, int memory);
QString AutoRunCommand(bool on);
QString AutoStartMemoryCommand(int memory);
QString AutoEndMemoryCommand(int memory);
QString AutoCycleCommand(int cycles);
QString AutoDelayCommand(const QString &delay);
QString ClearProtectionCommand();

// Channel set commands; the value text is already rendered.
enum class ChannelSetting { Voltage, Current, OverVoltage, OverCurrent };
QString ChannelCommand(CommandFamily family, int channel, ChannelSetting setting, const QString &value);

} // namespace qle
