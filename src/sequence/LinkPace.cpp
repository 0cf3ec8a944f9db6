#include "LinkPace.h"

#include <algorithm>
#include <cmath>

namespace qle::sequence {
namespace {

// Bytes on the wire, terminators included: a set command with its value
// (":CHAN1:VOLT 12.345" or "VSET1:12.345", then CR LF), the error query
// (":SYST:ERR?" CR LF) and its reply ("0,\"No error\"" LF).
constexpr double ColonCommandBytes = 20;
constexpr double LegacyCommandBytes = 14;
constexpr double ErrorQueryBytes = 12;
constexpr double ErrorReplyBytes = 14;
// What the instrument takes to read a line and answer, each exchange.
constexpr double TurnaroundMs = 5;
// Live polling may run beside a sequence: half as much again is left for it.
constexpr double PollingShare = 1.5;
constexpr double TcpStepMs = 5;
constexpr double GpibStepMs = 10;

} // namespace

qint64 LinkPace::stepsIn(double seconds) const
{
    if (stepMs <= 0)
        return 0;
    return static_cast<qint64>(std::floor(seconds * 1000 / stepMs));
}

LinkPace estimateLinkPace(const LinkOptions &link, CommandFamily family)
{
    switch (link.kind) {
    case LinkOptions::Kind::Serial: {
        const bool colon = family == CommandFamily::Colon;
        const double bytes = colon ? ColonCommandBytes + ErrorQueryBytes + ErrorReplyBytes : LegacyCommandBytes;
        const double byteMs = 10000.0 / std::max(link.baud, 1);
        const double wireMs = bytes * byteMs + TurnaroundMs * (colon ? 2 : 1);
        return {wireMs * PollingShare, QStringLiteral("%1 baud").arg(link.baud)};
    }
    case LinkOptions::Kind::Tcp:
        return {TcpStepMs, QStringLiteral("TCP")};
    case LinkOptions::Kind::Gpib:
        return {GpibStepMs, QStringLiteral("GPIB")};
    case LinkOptions::Kind::None:
        break;
    }
    return {TcpStepMs, QStringLiteral("no link")};
}

} // namespace qle::sequence
