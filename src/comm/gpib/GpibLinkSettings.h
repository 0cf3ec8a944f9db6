#pragma once

#include <QString>

#include <array>
#include <optional>

namespace qle {

class ISettingsStore;

namespace gpib {

// Which library or adapter carries the GPIB link.
enum class Backend { Auto, Visa, LinuxGpib, PrologixUsb, PrologixEthernet };

// "auto", "visa", "linux-gpib", "prologix-usb" or "prologix-ethernet", in any
// case; empty means "auto"; anything else has no backend.
[[nodiscard]] std::optional<Backend> backendFromText(const QString &text);
// The stored text of a backend, as backendFromText() reads it.
[[nodiscard]] QString backendText(Backend backend);
inline constexpr std::array<Backend, 5> AllBackends{Backend::Auto, Backend::Visa, Backend::LinuxGpib,
                                                    Backend::PrologixUsb, Backend::PrologixEthernet};

// The keys of section "GPIB" that choose the link; the board number and
// address belong to the GPIB dialog.
struct LinkSettings {
    std::optional<Backend> backend = Backend::Auto; // "Backend", default "auto"
    QString adapterPort;                            // "AdapterPort": serial device of a GPIB-USB controller
    QString adapterHost;                            // "AdapterHost": host[:port] of a GPIB-ETHERNET controller

    static LinkSettings read(const ISettingsStore &settings);
};

struct HostAndPort {
    QString host;
    quint16 port = 0;
};

// "host", "host:port" or "[v6 address]:port"; no port means defaultPort.
[[nodiscard]] std::optional<HostAndPort> parseHostAndPort(const QString &text, quint16 defaultPort);

} // namespace gpib
} // namespace qle
