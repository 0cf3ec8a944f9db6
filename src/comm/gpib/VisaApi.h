#pragma once

#include <QLibrary>
#include <QString>

#include <cstdint>

namespace qle::visa {

// The few VISA types, values and entry points this program uses, with the
// sizes VISA gives them on 32- and 64-bit hosts.
using ViStatus = std::int32_t;
using ViUInt32 = std::uint32_t;
using ViSession = ViUInt32;
using ViAttr = ViUInt32;
using ViAttrState = std::uintptr_t;

inline constexpr ViStatus VI_SUCCESS_MAX_CNT = 0x3FFF0006;
inline constexpr ViStatus VI_ERROR_TMO = static_cast<ViStatus>(0xBFFF0015u);
inline constexpr ViAttr VI_ATTR_TMO_VALUE = 0x3FFF001Au;
inline constexpr ViAttr VI_ATTR_SEND_END_EN = 0x3FFF0016u;
inline constexpr ViAttr VI_ATTR_TERMCHAR_EN = 0x3FFF0038u;

#if defined(_WIN32) && !defined(_WIN64)
#define QLE_VISA_CALL __stdcall
#else
#define QLE_VISA_CALL
#endif

extern "C" {
using ViOpenDefaultRMFn = ViStatus(QLE_VISA_CALL *)(ViSession *rm);
using ViOpenFn = ViStatus(QLE_VISA_CALL *)(ViSession rm, const char *resource, ViUInt32 accessMode,
                                           ViUInt32 openTimeout, ViSession *vi);
using ViCloseFn = ViStatus(QLE_VISA_CALL *)(ViSession vi);
using ViWriteFn = ViStatus(QLE_VISA_CALL *)(ViSession vi, const unsigned char *buf, ViUInt32 count, ViUInt32 *written);
using ViReadFn = ViStatus(QLE_VISA_CALL *)(ViSession vi, unsigned char *buf, ViUInt32 count, ViUInt32 *read);
using ViSetAttributeFn = ViStatus(QLE_VISA_CALL *)(ViSession vi, ViAttr attribute, ViAttrState value);
using ViClearFn = ViStatus(QLE_VISA_CALL *)(ViSession vi);
using ViStatusDescFn = ViStatus(QLE_VISA_CALL *)(ViSession vi, ViStatus status, char description[256]);
}

// Success codes are zero or positive, errors negative.
[[nodiscard]] constexpr bool failed(ViStatus status)
{
    return status < 0;
}

// "GPIB" + board + "::" + address + "::INSTR".
[[nodiscard]] QString resourceName(int board, int address);

// A VISA library loaded at run time: QLE_VISA_LIBRARY when set, else the
// usual place of the platform's VISA installation.
class VisaApi final {
public:
    // False, with the reason, when no library loads or an entry point is missing.
    bool load(QString *error);
    [[nodiscard]] bool isLoaded() const { return m_loaded; }
    // The library's own text for a status code, or the code in hexadecimal.
    [[nodiscard]] QString describe(ViSession vi, ViStatus status) const;

    ViOpenDefaultRMFn viOpenDefaultRM = nullptr;
    ViOpenFn viOpen = nullptr;
    ViCloseFn viClose = nullptr;
    ViWriteFn viWrite = nullptr;
    ViReadFn viRead = nullptr;
    ViSetAttributeFn viSetAttribute = nullptr;
    ViClearFn viClear = nullptr;
    ViStatusDescFn viStatusDesc = nullptr; // optional

private:
    QLibrary m_library;
    bool m_loaded = false;
};

// True when a VISA library loads with every entry point this program needs.
[[nodiscard]] bool visaAvailable();

} // namespace qle::visa
