#pragma once

#include "Frontend.h"
#include "LineSplitter.h"

#include <QMap>

namespace psusim {

class Instrument;

// A Prologix-compatible GPIB-USB controller with instruments at primary
// addresses behind it. Lines starting with "++" are controller commands;
// every other line goes, with the end-of-send characters, to the instrument
// at the current address. With auto-read on, a reply comes back right after
// the command; with it off, only on "++read".
class PrologixFrontend : public Frontend {
public:
    static constexpr char kVersion[] = "Prologix GPIB-USB Controller version 6.101";

    explicit PrologixFrontend(int latencyMs);

    // The instrument is not owned.
    void attach(int address, Instrument *instrument);
    QList<Outgoing> handleLine(const QByteArray &line, double nowMs) override;

    [[nodiscard]] int address() const { return m_address; }
    [[nodiscard]] bool autoRead() const { return m_auto; }

private:
    struct Device {
        Instrument *instrument = nullptr;
        LineSplitter splitter;
        std::optional<Outgoing> output; // the instrument's output buffer
    };

    QList<Outgoing> controllerCommand(const QByteArray &line, double nowMs);
    QList<Outgoing> toInstrument(const QByteArray &data, double nowMs);
    Outgoing controllerReply(const QByteArray &text, double nowMs) const;
    QByteArray eosBytes() const;
    void resetSettings();

    int m_latencyMs;
    QMap<int, Device> m_devices;
    int m_address = 1;
    bool m_auto = false;
    bool m_eoi = true;
    int m_eos = 0; // 0 CR LF, 1 CR, 2 LF, 3 nothing
    int m_readTimeoutMs = 500;
};

} // namespace psusim
