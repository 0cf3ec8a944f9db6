#pragma once

#include "instrument/InstrumentLink.h"
#include "protocol/DeviceCommands.h"

#include <QString>

namespace qle::sequence {

// About how long one set command takes on a link, with what goes with it,
// so that the checker can tell a ramp the link cannot keep up with.
struct LinkPace {
    double stepMs = 0;
    QString basis; // "9600 baud", "TCP"

    // Ramp steps the link keeps over `seconds`, at least 0.
    [[nodiscard]] qint64 stepsIn(double seconds) const;
};

// Serial: the command line at 10 bits a byte, on the colon family the error
// query after it and its reply, a turnaround of the instrument for each
// exchange, and room for the Live polling that shares the link. TCP and
// GPIB: a small fixed figure.
LinkPace estimateLinkPace(const LinkOptions &link, CommandFamily family);

} // namespace qle::sequence
