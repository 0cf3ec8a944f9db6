#pragma once

#include <QString>

#include <optional>

namespace qle::sequence {

// What a front end offers a run beside the instrument: a recorder, a
// timeline for marks, and its polling. Each is optional; a run may
// have no host at all.
class ISequenceHost {
public:
    virtual ~ISequenceHost() = default;

    // Whether `record start` can be honoured; asked when the run is checked.
    [[nodiscard]] virtual bool canRecord() const { return false; }
    // Starts recording; the reason when it cannot.
    virtual std::optional<QString> startRecording() { return QStringLiteral("no recorder"); }
    virtual void stopRecording() {}
    // A note for the recording's timeline.
    virtual void mark(const QString &text) { Q_UNUSED(text) }
    // Called as the run starts: the host may switch to the polling it keeps
    // during a run. True when that polling now feeds the model with fresh
    // readings of every channel, so that the runner need not ask for its own.
    virtual bool beginLivePolling() { return false; }
    // Called once the run is over: the polling the user had before.
    virtual void restorePolling() {}
};

} // namespace qle::sequence
