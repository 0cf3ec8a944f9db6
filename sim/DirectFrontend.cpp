#include "Frontend.h"
#include "Instrument.h"

namespace psusim {

QList<Outgoing> DirectFrontend::handleLine(const QByteArray &line, double nowMs)
{
    const FaultInjector::Verdict verdict = observe(line);
    const std::optional<QByteArray> reply = m_instrument.execute(line);
    if (!reply)
        return {};
    Outgoing out;
    out.text = *reply;
    out.command = line;
    out.readyAtMs = nowMs + m_latencyMs;
    out.muted = verdict.mute;
    return {out};
}

} // namespace psusim
