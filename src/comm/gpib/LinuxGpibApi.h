#pragma once

#include <QLibrary>
#include <QString>

namespace qle::linuxgpib {

// Status bits of ibsta and the time-out codes of ibdev, as linux-gpib defines them.
inline constexpr int ERR = 0x8000;
inline constexpr int END = 0x2000;
inline constexpr int T3s = 12;
inline constexpr int EABO = 6; // iberr: I/O aborted, usually a time-out

extern "C" {
using IbdevFn = int (*)(int boardIndex, int pad, int sad, int timo, int sendEoi, int eosMode);
using IbwrtFn = int (*)(int ud, const void *buffer, long count);
using IbrdFn = int (*)(int ud, void *buffer, long count);
using IbonlFn = int (*)(int ud, int online);
using IbclrFn = int (*)(int ud);
using IntAccessorFn = int (*)();
using LongAccessorFn = long (*)();
}

// linux-gpib's library loaded at run time: QLE_LINUX_GPIB_LIBRARY when set,
// else libgpib.so.0 or libgpib.so. The status, error and count of the last
// call come from the thread-local accessors when the library has them, else
// from its global variables.
class LinuxGpibApi final {
public:
    bool load(QString *error);
    [[nodiscard]] bool isLoaded() const { return m_loaded; }

    // Of the calling thread's last call.
    [[nodiscard]] int lastError() const;
    [[nodiscard]] long lastCount() const;

    IbdevFn ibdev = nullptr;
    IbwrtFn ibwrt = nullptr;
    IbrdFn ibrd = nullptr;
    IbonlFn ibonl = nullptr;
    IbclrFn ibclr = nullptr;

private:
    bool resolveAccessors();

    QLibrary m_library;
    bool m_loaded = false;
    IntAccessorFn m_threadIberr = nullptr;
    LongAccessorFn m_threadIbcntl = nullptr;
    IntAccessorFn m_threadIbcnt = nullptr;
    volatile int *m_iberr = nullptr;
    volatile long *m_ibcntl = nullptr;
    volatile int *m_ibcnt = nullptr;
};

// True when linux-gpib's library loads with every entry point this program needs.
[[nodiscard]] bool linuxGpibAvailable();

} // namespace qle::linuxgpib
