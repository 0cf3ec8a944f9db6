#pragma once

#include "comm/CommTasker.h"

#include <QString>

#include <functional>
#include <memory>

namespace qle {

class GpibDevice;
class ISettingsStore;

// Where an instrument is: a serial port, a raw TCP socket or a GPIB address
// (board and address on the backend of the settings' [GPIB] section).
struct LinkOptions {
    enum class Kind { None, Serial, Tcp, Gpib };
    Kind kind = Kind::None;
    QString port;
    int baud = 9600;
    QString host;
    quint16 tcpPort = 0;
    int gpibBoard = 0;
    int gpibAddress = 0;
    double timeoutSec = CommTasker::ResponseTimeoutSec;

    [[nodiscard]] QString describe() const;
    // The engine's name of the link: "RS232", "TCP" or "GPIB".
    [[nodiscard]] QString commType() const;
};

// Opens `link` for `engine`, the one way the program and qle-cli open links.
// A serial port and a GPIB address are opened at once; a TCP socket
// connects while the caller goes on. `done(error)` runs once: with an empty
// text when the link is open and the engine starts afresh on it, else with
// the cause. A GPIB device the engine was given from outside is used as it
// is; otherwise one is made from the settings and kept in `gpib`.
void openInstrumentLink(CommTasker &engine, const LinkOptions &link, const ISettingsStore &settings,
                        std::unique_ptr<GpibDevice> &gpib, const std::function<void(const QString &error)> &done);

} // namespace qle
