// A stand-in linux-gpib library for the tests: the entry points the program
// loads, in front of the virtual instrument's GPIB controller. Built twice:
// with the thread-local status accessors, and (STANDIN_GLOBAL_STATUS) with
// only the old global variables.
#include "SimBus.h"

#include <algorithm>
#include <string>

namespace {
constexpr int Err = 0x8000;
constexpr int Timo = 0x4000;
constexpr int End = 0x2000;
constexpr int Cmpl = 0x0100;
constexpr int Eabo = 6; // I/O aborted (time-out)
constexpr int Edvr = 0; // system error
constexpr int Eneb = 7; // no board / not online
constexpr int Device = 1;

// Time-out codes of ibdev: T1s = 11, T3s = 12, T10s = 13.
int timeoutMsec(int code)
{
    switch (code) {
    case 11:
        return 1000;
    case 12:
        return 3000;
    case 13:
        return 10000;
    default:
        return 3000;
    }
}

int g_timeoutMsec = 3000;
std::string g_unread;
} // namespace

#ifdef STANDIN_GLOBAL_STATUS
extern "C" {
STANDIN_EXPORT volatile int ibsta = 0;
STANDIN_EXPORT volatile int iberr = 0;
STANDIN_EXPORT volatile int ibcnt = 0;
STANDIN_EXPORT volatile long ibcntl = 0;
}
#else
namespace {
thread_local int ibsta = 0;
thread_local int iberr = 0;
thread_local int ibcnt = 0;
thread_local long ibcntl = 0;
} // namespace
#endif

namespace {
int finish(int status, int error, long count)
{
    ibsta = status;
    iberr = error;
    ibcnt = static_cast<int>(count);
    ibcntl = count;
    return status;
}
} // namespace

extern "C" {

STANDIN_EXPORT int ibdev(int, int pad, int, int timo, int, int)
{
    g_timeoutMsec = timeoutMsec(timo);
    g_unread.clear();
    if (!standin::simBus().connectFromEnvironment() || !standin::simBus().selectAddress(pad)) {
        finish(Err, Edvr, 0);
        return -1;
    }
    finish(Cmpl, 0, 0);
    return Device;
}

STANDIN_EXPORT int ibonl(int ud, int online)
{
    if (ud != Device)
        return finish(Err, Eneb, 0);
    if (!online)
        standin::simBus().disconnect();
    return finish(Cmpl, 0, 0);
}

STANDIN_EXPORT int ibwrt(int ud, const void *buffer, long count)
{
    if (ud != Device || !standin::simBus().isConnected())
        return finish(Err, Eneb, 0);
    if (!standin::simBus().sendMessage(static_cast<const char *>(buffer), static_cast<std::size_t>(count)))
        return finish(Err, Edvr, 0);
    return finish(Cmpl | End, 0, count);
}

STANDIN_EXPORT int ibrd(int ud, void *buffer, long count)
{
    if (ud != Device || !standin::simBus().isConnected())
        return finish(Err, Eneb, 0);
    if (g_unread.empty() && !standin::simBus().readReply(g_unread, g_timeoutMsec))
        return finish(Err | Timo, Eabo, 0);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), g_unread.size());
    std::copy_n(g_unread.data(), n, static_cast<char *>(buffer));
    g_unread.erase(0, n);
    return finish(g_unread.empty() ? (Cmpl | End) : Cmpl, 0, static_cast<long>(n));
}

STANDIN_EXPORT int ibclr(int ud)
{
    if (ud != Device)
        return finish(Err, Eneb, 0);
    g_unread.clear();
    return finish(standin::simBus().deviceClear() ? Cmpl : Err, 0, 0);
}

#ifndef STANDIN_GLOBAL_STATUS
STANDIN_EXPORT int ThreadIbsta()
{
    return ibsta;
}
STANDIN_EXPORT int ThreadIberr()
{
    return iberr;
}
STANDIN_EXPORT int ThreadIbcnt()
{
    return ibcnt;
}
STANDIN_EXPORT long ThreadIbcntl()
{
    return ibcntl;
}
#endif

} // extern "C"
