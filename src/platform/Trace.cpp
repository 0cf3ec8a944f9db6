#include "Trace.h"

namespace qle {
namespace {
ITraceSink *g_sink = nullptr;
}

void setTraceSink(ITraceSink *sink)
{
    g_sink = sink;
}

bool isTraceOn()
{
    return g_sink != nullptr;
}

void Trace(const QString &message)
{
    if (g_sink)
        g_sink->printd(message);
}

void Trace(const char *message)
{
    if (g_sink)
        g_sink->printd(QString::fromUtf8(message));
}

} // namespace qle
