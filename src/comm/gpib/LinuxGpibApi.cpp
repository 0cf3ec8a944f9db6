#include "LinuxGpibApi.h"

#include "RuntimeLibrary.h"

#include <bit>

namespace qle::linuxgpib {

namespace {
template <typename T> T *resolveVariable(QLibrary &library, const char *name)
{
    return std::bit_cast<T *>(library.resolve(name));
}
} // namespace

bool LinuxGpibApi::load(QString *error)
{
    if (m_loaded)
        return true;
    if (!loadRuntimeLibrary(m_library, "QLE_LINUX_GPIB_LIBRARY",
                            {QStringLiteral("libgpib.so.0"), QStringLiteral("libgpib.so")}, error))
        return false;
    const bool complete = resolveEntry(m_library, "ibdev", ibdev) && resolveEntry(m_library, "ibwrt", ibwrt) &&
                          resolveEntry(m_library, "ibrd", ibrd) && resolveEntry(m_library, "ibonl", ibonl) &&
                          resolveEntry(m_library, "ibclr", ibclr) && resolveAccessors();
    if (!complete) {
        if (error)
            *error = m_library.fileName() + QStringLiteral(" lacks a linux-gpib entry point");
        return false;
    }
    m_loaded = true;
    return true;
}

bool LinuxGpibApi::resolveAccessors()
{
    resolveEntry(m_library, "ThreadIberr", m_threadIberr);
    resolveEntry(m_library, "ThreadIbcntl", m_threadIbcntl);
    resolveEntry(m_library, "ThreadIbcnt", m_threadIbcnt);
    m_iberr = resolveVariable<volatile int>(m_library, "iberr");
    m_ibcntl = resolveVariable<volatile long>(m_library, "ibcntl");
    m_ibcnt = resolveVariable<volatile int>(m_library, "ibcnt");
    const bool haveError = m_threadIberr || m_iberr;
    const bool haveCount = m_threadIbcntl || m_threadIbcnt || m_ibcntl || m_ibcnt;
    return haveError && haveCount;
}

int LinuxGpibApi::lastError() const
{
    return m_threadIberr ? m_threadIberr() : *m_iberr;
}

long LinuxGpibApi::lastCount() const
{
    if (m_threadIbcntl)
        return m_threadIbcntl();
    if (m_threadIbcnt)
        return m_threadIbcnt();
    return m_ibcntl ? *m_ibcntl : *m_ibcnt;
}

bool linuxGpibAvailable()
{
    LinuxGpibApi api;
    return api.load(nullptr);
}

} // namespace qle::linuxgpib
