#pragma once

#include "platform/Trace.h"

#include <QStringList>

namespace qle::testing {

// Collects trace lines while it lives.
class TraceRecorder final : public ITraceSink {
public:
    TraceRecorder() { setTraceSink(this); }
    ~TraceRecorder() override { setTraceSink(nullptr); }
    TraceRecorder(const TraceRecorder &) = delete;
    TraceRecorder &operator=(const TraceRecorder &) = delete;

    void printd(const QString &message) override { lines.append(message); }
    [[nodiscard]] bool contains(const QString &line) const { return lines.contains(line); }
    [[nodiscard]] int count(const QString &line) const { return static_cast<int>(lines.count(line)); }

    QStringList lines;
};

} // namespace qle::testing
