// A stand-in VISA library for the tests: the entry points the program loads,
// in front of the virtual instrument's GPIB controller. One instrument
// session at a time.
#include "SimBus.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

using ViStatus = std::int32_t;
using ViUInt32 = std::uint32_t;
using ViSession = ViUInt32;
using ViAttr = ViUInt32;
using ViAttrState = std::uintptr_t;

namespace {
constexpr ViStatus Success = 0;
constexpr ViStatus SuccessMaxCount = 0x3FFF0006;
constexpr ViStatus ErrorTimeout = static_cast<ViStatus>(0xBFFF0015u);
constexpr ViStatus ErrorResourceNotFound = static_cast<ViStatus>(0xBFFF0011u);
constexpr ViStatus ErrorInvalidResourceName = static_cast<ViStatus>(0xBFFF0012u);
constexpr ViStatus ErrorInvalidObject = static_cast<ViStatus>(0xBFFF000Eu);
constexpr ViStatus ErrorIo = static_cast<ViStatus>(0xBFFF003Eu);
constexpr ViAttr TimeoutAttribute = 0x3FFF001Au;
constexpr ViSession ResourceManager = 1;
constexpr ViSession Instrument = 2;

int g_timeoutMsec = 2000;
std::string g_unread; // the part of a reply a short buffer did not take
} // namespace

extern "C" {

STANDIN_EXPORT ViStatus viOpenDefaultRM(ViSession *rm)
{
    *rm = ResourceManager;
    return Success;
}

STANDIN_EXPORT ViStatus viOpen(ViSession rm, const char *resource, ViUInt32, ViUInt32, ViSession *vi)
{
    int board = -1;
    int address = -1;
    char tail[16] = {};
    if (rm != ResourceManager)
        return ErrorInvalidObject;
    if (std::sscanf(resource, "GPIB%d::%d::%15s", &board, &address, tail) != 3 || std::strcmp(tail, "INSTR") != 0)
        return ErrorInvalidResourceName;
    if (!standin::simBus().connectFromEnvironment() || !standin::simBus().selectAddress(address))
        return ErrorResourceNotFound;
    g_unread.clear();
    *vi = Instrument;
    return Success;
}

STANDIN_EXPORT ViStatus viClose(ViSession vi)
{
    if (vi == Instrument)
        standin::simBus().disconnect();
    return Success;
}

STANDIN_EXPORT ViStatus viSetAttribute(ViSession vi, ViAttr attribute, ViAttrState value)
{
    if (vi != Instrument)
        return ErrorInvalidObject;
    if (attribute == TimeoutAttribute)
        g_timeoutMsec = static_cast<int>(value);
    return Success;
}

STANDIN_EXPORT ViStatus viWrite(ViSession vi, const unsigned char *buffer, ViUInt32 count, ViUInt32 *written)
{
    if (vi != Instrument)
        return ErrorInvalidObject;
    if (!standin::simBus().sendMessage(reinterpret_cast<const char *>(buffer), count))
        return ErrorIo;
    *written = count;
    return Success;
}

STANDIN_EXPORT ViStatus viRead(ViSession vi, unsigned char *buffer, ViUInt32 count, ViUInt32 *read)
{
    *read = 0;
    if (vi != Instrument)
        return ErrorInvalidObject;
    if (g_unread.empty() && !standin::simBus().readReply(g_unread, g_timeoutMsec))
        return ErrorTimeout;
    const std::size_t n = std::min<std::size_t>(count, g_unread.size());
    std::copy_n(g_unread.data(), n, buffer);
    g_unread.erase(0, n);
    *read = static_cast<ViUInt32>(n);
    return g_unread.empty() ? Success : SuccessMaxCount;
}

STANDIN_EXPORT ViStatus viClear(ViSession vi)
{
    if (vi != Instrument)
        return ErrorInvalidObject;
    g_unread.clear();
    return standin::simBus().deviceClear() ? Success : ErrorIo;
}

STANDIN_EXPORT ViStatus viStatusDesc(ViSession, ViStatus status, char description[256])
{
    const char *text = status == ErrorTimeout            ? "VI_ERROR_TMO: Timeout expired before operation completed."
                       : status == ErrorResourceNotFound ? "VI_ERROR_RSRC_NFOUND: Insufficient location information."
                                                         : "Stand-in VISA status.";
    std::snprintf(description, 256, "%s", text);
    return Success;
}

} // extern "C"
