#include "DeviceCommands.h"

namespace qle {

CommandFamily familyFor(const QString &machineType)
{
    return machineType.contains(QLatin1String("QLE-5505")) ? CommandFamily::Legacy : CommandFamily::Colon;
}

QString OutputCommand(CommandFamily family, bool on)
{
    if (family == CommandFamily::Legacy)
        return on ? "OUT1" : "OUT0";
    return on ? ":OUTP:STAT 1" : ":OUTP:STAT 0";
}

QString CouplingCommand(CommandFamily family, Coupling coupling)
{
    const char *code = coupling == Coupling::Independent ? "0" : (coupling == Coupling::Track ? "1" : "2");
    return (family == CommandFamily::Legacy ? QStringLiteral("TRACK") : QStringLiteral(":OUTP:COUP:TRAC ")) +
           QLatin1String(code);
}

Coupling CouplingFromReply(const QString &reply)
{
    if (reply == QLatin1String("0"))
        return Coupling::Independent;
    if (reply == QLatin1String("2"))
        return Coupling::Parallel;
    return Coupling::Track;
}

QString SaveMemoryCommand(CommandFamily family, int memory)
{
    return (family == CommandFamily::Legacy ? QStringLiteral("SAV") : QStringLiteral("*SAV ")) +
           QString::number(memory);
}

QString RecallMemoryCommand(CommandFamily family, int memory)
{
    return (family == CommandFamily::Legacy ? QStringLiteral("RCL") : QStringLiteral("*RCL ")) +
           QString::number(memory);
}

QString AutoRunCommand(bool on)
{
    return on ? ":SYST:AUTO:STAT 1" : ":SYST:AUTO:STAT 0";
}

QString AutoStartMemoryCommand(int memory)
{
    return ":SYST:AUTO:STAR " + QString::number(memory);
}

QString AutoEndMemoryCommand(int memory)
{
    return ":SYST:AUTO:END " + QString::number(memory);
}

QString AutoCycleCommand(int cycles)
{
    return ":SYST:AUTO:CYCL " + QString::number(cycles);
}

QString AutoDelayCommand(const QString &delay)
{
    return ":SYST:AUTO:DEL " + delay;
}

QString ClearProtectionCommand()
{
    return ":OUTP:PROT:CLE";
}

QString ChannelCommand(CommandFamily family, int channel, ChannelSetting setting, const QString &value)
{
    const QString n = QString::number(channel);
    if (family == CommandFamily::Legacy) {
        switch (setting) {
        case ChannelSetting::Voltage:
            return "VSET" + n + ":" + value;
        case ChannelSetting::Current:
            return "ISET" + n + ":" + value;
        default:
            return {};
        }
    }
    switch (setting) {
    case ChannelSetting::Voltage:
        return ":CHAN" + n + ":VOLT " + value;
    case ChannelSetting::Current:
        return ":CHAN" + n + ":CURR " + value;
    case ChannelSetting::OverVoltage:
        return ":CHAN" + n + ":PROT:VOLT " + value;
    case ChannelSetting::OverCurrent:
        return ":CHAN" + n + ":PROT:CURR " + value;
    }
    return {};
}

} // namespace qle
