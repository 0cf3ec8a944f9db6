#include "VisaApi.h"

#include "RuntimeLibrary.h"

namespace qle::visa {

namespace {
QStringList candidates()
{
#if defined(Q_OS_WIN)
    return {QStringLiteral("visa64.dll"), QStringLiteral("visa32.dll")};
#elif defined(Q_OS_MACOS)
    return {QStringLiteral("/Library/Frameworks/VISA.framework/VISA")};
#else
    return {QStringLiteral("libvisa.so"), QStringLiteral("libvisa.so.0"), QStringLiteral("librsvisa.so"),
            QStringLiteral("libiovisa.so")};
#endif
}
} // namespace

QString resourceName(int board, int address)
{
    return QStringLiteral("GPIB%1::%2::INSTR").arg(board).arg(address);
}

bool VisaApi::load(QString *error)
{
    if (m_loaded)
        return true;
    if (!loadRuntimeLibrary(m_library, "QLE_VISA_LIBRARY", candidates(), error))
        return false;
    const bool complete = resolveEntry(m_library, "viOpenDefaultRM", viOpenDefaultRM) &&
                          resolveEntry(m_library, "viOpen", viOpen) && resolveEntry(m_library, "viClose", viClose) &&
                          resolveEntry(m_library, "viWrite", viWrite) && resolveEntry(m_library, "viRead", viRead) &&
                          resolveEntry(m_library, "viSetAttribute", viSetAttribute) &&
                          resolveEntry(m_library, "viClear", viClear);
    resolveEntry(m_library, "viStatusDesc", viStatusDesc);
    if (!complete) {
        if (error)
            *error = m_library.fileName() + QStringLiteral(" lacks a VISA entry point: ") + m_library.errorString();
        return false;
    }
    m_loaded = true;
    return true;
}

QString VisaApi::describe(ViSession vi, ViStatus status) const
{
    if (viStatusDesc) {
        char text[256] = {};
        if (!failed(viStatusDesc(vi, status, text)) && text[0] != '\0')
            return QString::fromLocal8Bit(text);
    }
    return QStringLiteral("VISA status 0x%1").arg(static_cast<quint32>(status), 8, 16, QLatin1Char('0'));
}

bool visaAvailable()
{
    VisaApi api;
    return api.load(nullptr);
}

} // namespace qle::visa
