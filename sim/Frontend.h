#pragma once

#include "FaultInjector.h"

#include <QByteArray>
#include <QList>

#include <functional>

namespace psusim {

// A line for the program, produced in answer to a received line.
struct Outgoing {
    QByteArray text;            // without terminator
    bool fromInstrument = true; // false for the GPIB controller's own replies
    QByteArray command;         // what it answers
    double readyAtMs = 0;       // when the instrument has it ready
    bool muted = false;         // swallowed by a fault
};

// What stands directly behind the wire: one instrument, or a GPIB controller
// with instruments behind it.
class Frontend {
public:
    using CommandObserver = std::function<FaultInjector::Verdict(const QByteArray &command)>;

    virtual ~Frontend() = default;
    virtual QList<Outgoing> handleLine(const QByteArray &line, double nowMs) = 0;
    // Every command that reaches an instrument is reported here first.
    void setCommandObserver(CommandObserver observer) { m_observer = std::move(observer); }

protected:
    FaultInjector::Verdict observe(const QByteArray &command)
    {
        return m_observer ? m_observer(command) : FaultInjector::Verdict{};
    }

private:
    CommandObserver m_observer;
};

class Instrument;

// The instrument itself on the wire (serial or TCP).
class DirectFrontend : public Frontend {
public:
    DirectFrontend(Instrument &instrument, int latencyMs) : m_instrument(instrument), m_latencyMs(latencyMs) {}
    QList<Outgoing> handleLine(const QByteArray &line, double nowMs) override;

private:
    Instrument &m_instrument;
    int m_latencyMs;
};

} // namespace psusim
