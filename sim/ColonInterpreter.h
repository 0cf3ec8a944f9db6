#pragma once

#include "CommandInterpreter.h"
#include "ScpiHeader.h"

namespace psusim {

struct InstrumentCore;
enum class SetResult;

// The colon (SCPI-like) command language. Failures go to the error queue
// (":SYST:ERR?") and produce no reply.
class ColonInterpreter : public CommandInterpreter {
public:
    enum class Scope {
        Full,
        // Only what the legacy firmware also understands in colon form:
        // ":SYST:AUTO:..." and ":OUTP:PROT:CLE".
        SharedWithLegacy,
    };

    explicit ColonInterpreter(InstrumentCore &core, Scope scope = Scope::Full);

    std::optional<QByteArray> execute(const QByteArray &line) override;

    struct Call {
        int channel = 1;
        bool query = false;
        QByteArray parameter;
    };
    using Reply = std::optional<QByteArray>;

private:
    Reply executeCommon(const CommandLine &cmd);
    Reply fail(int code, const char *text);
    Reply applied(SetResult result);
    std::optional<double> decimalParameter(const Call &call);
    std::optional<int> wholeParameter(const Call &call);
    std::optional<bool> switchParameter(const Call &call);

    Reply measureVoltage(const Call &call);
    Reply measureCurrent(const Call &call);
    Reply voltage(const Call &call);
    Reply current(const Call &call);
    Reply ovpLevel(const Call &call);
    Reply ocpSwitch(const Call &call);
    Reply outputState(const Call &call);
    Reply coupling(const Call &call);
    Reply clearProtection(const Call &call);
    Reply autoState(const Call &call);
    Reply autoStart(const Call &call);
    Reply autoEnd(const Call &call);
    Reply autoCycles(const Call &call);
    Reply autoDelay(const Call &call);
    Reply memory(const Call &call);
    Reply nextError(const Call &call);

    struct Entry;
    static const Entry *table(qsizetype &count);

    InstrumentCore &m_core;
    Scope m_scope;
};

} // namespace psusim
