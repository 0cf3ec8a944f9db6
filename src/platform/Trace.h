#pragma once

#include <QString>

namespace qle {

// Receiver of engine trace lines; none is installed unless tracing is switched on.
class ITraceSink {
public:
    virtual ~ITraceSink() = default;
    virtual void printd(const QString &message) = 0;
};

void setTraceSink(ITraceSink *sink);
[[nodiscard]] bool isTraceOn();

// One trace line. Discarded unless a sink is installed; never fails.
void Trace(const QString &message);
// The same for a fixed text, which is turned into a string only when traced:
// the engine writes several a turn.
void Trace(const char *message);

} // namespace qle
