#include "ColonInterpreter.h"

#include "InstrumentCore.h"
#include "NumberText.h"

#include <array>

namespace psusim {

namespace {
enum Access { QueryOnly = 1, SetOnly = 2, SetAndQuery = 3 };
constexpr int kMaxDepth = 3;
} // namespace

struct ColonInterpreter::Entry {
    std::array<const char *, kMaxDepth> path; // nullptr-terminated when shorter
    int access;
    bool sharedWithLegacy;
    Reply (ColonInterpreter::*handler)(const Call &);
};

const ColonInterpreter::Entry *ColonInterpreter::table(qsizetype &count)
{
    using C = ColonInterpreter;
    static const Entry entries[] = {
        {{"CHANnel", "MEASure", "VOLTage"}, QueryOnly, false, &C::measureVoltage},
        {{"CHANnel", "MEASure", "CURRent"}, QueryOnly, false, &C::measureCurrent},
        {{"CHANnel", "VOLTage", nullptr}, SetAndQuery, false, &C::voltage},
        {{"CHANnel", "CURRent", nullptr}, SetAndQuery, false, &C::current},
        {{"CHANnel", "PROTection", "VOLTage"}, SetAndQuery, false, &C::ovpLevel},
        {{"CHANnel", "PROTection", "CURRent"}, SetAndQuery, false, &C::ocpSwitch},
        {{"OUTPut", "STATe", nullptr}, SetAndQuery, false, &C::outputState},
        {{"OUTPut", "COUPle", "TRACk"}, SetAndQuery, false, &C::coupling},
        {{"OUTPut", "PROTection", "CLEar"}, SetOnly, true, &C::clearProtection},
        {{"SYSTem", "AUTO", "STATe"}, SetAndQuery, true, &C::autoState},
        {{"SYSTem", "AUTO", "STARt"}, SetAndQuery, true, &C::autoStart},
        {{"SYSTem", "AUTO", "END"}, SetAndQuery, true, &C::autoEnd},
        {{"SYSTem", "AUTO", "CYCLe"}, SetAndQuery, true, &C::autoCycles},
        {{"SYSTem", "AUTO", "DELay"}, SetAndQuery, true, &C::autoDelay},
        {{"SYSTem", "MEMory", nullptr}, QueryOnly, false, &C::memory},
        {{"SYSTem", "ERRor", nullptr}, QueryOnly, false, &C::nextError},
    };
    count = qsizetype(std::size(entries));
    return entries;
}

ColonInterpreter::ColonInterpreter(InstrumentCore &core, Scope scope) : m_core(core), m_scope(scope)
{
}

ColonInterpreter::Reply ColonInterpreter::fail(int code, const char *text)
{
    m_core.errors.push(code, text);
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::applied(SetResult result)
{
    switch (result) {
    case SetResult::Ok:
        break;
    case SetResult::OutOfRange:
        return fail(scpi_error::kDataOutOfRange, "Data out of range");
    case SetResult::NoSuchChannel:
        return fail(scpi_error::kSuffixOutOfRange, "Header suffix out of range");
    case SetResult::Conflict:
        return fail(scpi_error::kSettingsConflict, "Settings conflict");
    }
    return std::nullopt;
}

std::optional<QByteArray> ColonInterpreter::execute(const QByteArray &line)
{
    const CommandLine cmd = parseCommandLine(line);
    if (!cmd.valid)
        return fail(scpi_error::kUndefinedHeader, "Undefined header");
    if (cmd.common)
        return executeCommon(cmd);

    qsizetype count = 0;
    const Entry *entries = table(count);
    for (qsizetype e = 0; e < count; ++e) {
        const Entry &entry = entries[e];
        if (m_scope == Scope::SharedWithLegacy && !entry.sharedWithLegacy)
            continue;
        int depth = 0;
        while (depth < kMaxDepth && entry.path[depth])
            ++depth;
        if (depth != cmd.nodes.size())
            continue;
        Call call;
        bool match = true;
        for (int i = 0; i < depth && match; ++i) {
            const HeaderNode &node = cmd.nodes.at(i);
            match = keywordMatches(node.keyword, entry.path[i]);
            const bool channelNode = QByteArray(entry.path[i]) == "CHANnel";
            if (match && node.suffix >= 0) {
                if (channelNode)
                    call.channel = node.suffix;
                else
                    match = false;
            }
        }
        if (!match)
            continue;
        if ((cmd.query && !(entry.access & QueryOnly)) || (!cmd.query && !(entry.access & SetOnly)))
            return fail(scpi_error::kUndefinedHeader, "Undefined header");
        if (QByteArray(entry.path[0]) == "CHANnel" && !m_core.supply.hasChannel(call.channel))
            return fail(scpi_error::kSuffixOutOfRange, "Header suffix out of range");
        call.query = cmd.query;
        call.parameter = cmd.parameter;
        return (this->*entry.handler)(call);
    }
    return fail(scpi_error::kUndefinedHeader, "Undefined header");
}

ColonInterpreter::Reply ColonInterpreter::executeCommon(const CommandLine &cmd)
{
    const QByteArray &name = cmd.commonName;
    if (name == "IDN" && cmd.query)
        return m_core.identification();
    if (m_scope == Scope::SharedWithLegacy)
        return fail(scpi_error::kUndefinedHeader, "Undefined header");
    if (name == "OPC" && cmd.query)
        return QByteArrayLiteral("1");
    if (name == "CLS" && !cmd.query) {
        m_core.errors.clear();
        return std::nullopt;
    }
    if (name == "RST" && !cmd.query) {
        m_core.autoRun.setRunning(false);
        m_core.supply.reset();
        return std::nullopt;
    }
    if ((name == "SAV" || name == "RCL") && !cmd.query) {
        Call call;
        call.parameter = cmd.parameter;
        const std::optional<int> n = wholeParameter(call);
        if (!n)
            return std::nullopt;
        const bool ok = name == "SAV" ? m_core.supply.saveMemory(*n) : m_core.supply.recallMemory(*n);
        if (!ok)
            return fail(scpi_error::kDataOutOfRange, "Data out of range");
        return std::nullopt;
    }
    return fail(scpi_error::kUndefinedHeader, "Undefined header");
}

std::optional<double> ColonInterpreter::decimalParameter(const Call &call)
{
    if (call.parameter.isEmpty()) {
        fail(scpi_error::kMissingParameter, "Missing parameter");
        return std::nullopt;
    }
    const std::optional<double> value = parseDecimal(call.parameter);
    if (!value)
        fail(scpi_error::kSyntax, "Syntax error");
    return value;
}

std::optional<int> ColonInterpreter::wholeParameter(const Call &call)
{
    const std::optional<double> value = decimalParameter(call);
    if (!value)
        return std::nullopt;
    const std::optional<int> whole = parseWholeNumber(call.parameter);
    if (!whole)
        fail(scpi_error::kDataOutOfRange, "Data out of range");
    return whole;
}

std::optional<bool> ColonInterpreter::switchParameter(const Call &call)
{
    if (call.parameter.isEmpty()) {
        fail(scpi_error::kMissingParameter, "Missing parameter");
        return std::nullopt;
    }
    const std::optional<bool> value = parseSwitch(call.parameter);
    if (!value) {
        if (parseDecimal(call.parameter))
            fail(scpi_error::kDataOutOfRange, "Data out of range");
        else
            fail(scpi_error::kSyntax, "Syntax error");
    }
    return value;
}

ColonInterpreter::Reply ColonInterpreter::measureVoltage(const Call &call)
{
    return formatFixed3(m_core.measuredVolt(call.channel));
}

ColonInterpreter::Reply ColonInterpreter::measureCurrent(const Call &call)
{
    return formatFixed3(m_core.measuredCurr(call.channel));
}

ColonInterpreter::Reply ColonInterpreter::voltage(const Call &call)
{
    if (call.query)
        return formatFixed3(m_core.supply.settings(call.channel).volt);
    if (const std::optional<double> v = decimalParameter(call))
        return applied(m_core.supply.setVoltage(call.channel, *v));
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::current(const Call &call)
{
    if (call.query)
        return formatFixed3(m_core.supply.settings(call.channel).curr);
    if (const std::optional<double> v = decimalParameter(call))
        return applied(m_core.supply.setCurrent(call.channel, *v));
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::ovpLevel(const Call &call)
{
    if (call.query)
        return formatFixed3(m_core.supply.settings(call.channel).ovp);
    if (const std::optional<double> v = decimalParameter(call))
        return applied(m_core.supply.setOvp(call.channel, *v));
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::ocpSwitch(const Call &call)
{
    if (call.query)
        return QByteArray(m_core.supply.settings(call.channel).ocp ? "1" : "0");
    if (const std::optional<bool> on = switchParameter(call))
        return applied(m_core.supply.setOcp(call.channel, *on));
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::outputState(const Call &call)
{
    if (call.query)
        return QByteArray(m_core.supply.outputOn() ? "1" : "0");
    if (const std::optional<bool> on = switchParameter(call))
        m_core.supply.setOutput(*on);
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::coupling(const Call &call)
{
    if (call.query)
        return QByteArray::number(int(m_core.supply.coupling()));
    const std::optional<int> mode = wholeParameter(call);
    if (!mode)
        return std::nullopt;
    if (*mode < 0 || *mode > 2)
        return fail(scpi_error::kDataOutOfRange, "Data out of range");
    return applied(m_core.supply.setCoupling(Coupling(*mode)));
}

ColonInterpreter::Reply ColonInterpreter::clearProtection(const Call &)
{
    m_core.supply.clearProtection();
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::autoState(const Call &call)
{
    if (call.query)
        return QByteArray(m_core.autoRun.isRunning() ? "1" : "0");
    if (const std::optional<bool> on = switchParameter(call))
        m_core.autoRun.setRunning(*on);
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::autoStart(const Call &call)
{
    if (call.query)
        return QByteArray::number(m_core.autoRun.start());
    const std::optional<int> n = wholeParameter(call);
    if (n && !m_core.autoRun.setStart(*n))
        return fail(scpi_error::kDataOutOfRange, "Data out of range");
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::autoEnd(const Call &call)
{
    if (call.query)
        return QByteArray::number(m_core.autoRun.end());
    const std::optional<int> n = wholeParameter(call);
    if (n && !m_core.autoRun.setEnd(*n))
        return fail(scpi_error::kDataOutOfRange, "Data out of range");
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::autoCycles(const Call &call)
{
    if (call.query)
        return QByteArray::number(m_core.autoRun.cycles());
    const std::optional<int> n = wholeParameter(call);
    if (n && !m_core.autoRun.setCycles(*n))
        return fail(scpi_error::kDataOutOfRange, "Data out of range");
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::autoDelay(const Call &call)
{
    if (call.query)
        return QByteArray::number(m_core.autoRun.delay());
    const std::optional<int> n = wholeParameter(call);
    if (n && !m_core.autoRun.setDelay(*n))
        return fail(scpi_error::kDataOutOfRange, "Data out of range");
    return std::nullopt;
}

ColonInterpreter::Reply ColonInterpreter::memory(const Call &)
{
    return QByteArray::number(m_core.supply.currentMemory());
}

ColonInterpreter::Reply ColonInterpreter::nextError(const Call &)
{
    return m_core.errors.popReply();
}

} // namespace psusim
