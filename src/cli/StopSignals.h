#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace qle::cli {

// SIGINT, SIGTERM and SIGHUP turned into an event of the loop, for as long
// as the object lives: a command that runs for a while ends as it would at
// its end, instead of being killed midway. One at a time.
class StopSignals final : public QObject {
public:
    StopSignals();
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Called from the event loop on each signal.
    void onStop(std::function<void()> handler) { m_onStop = std::move(handler); }
    [[nodiscard]] bool stopped() const { return m_stopped; }

private:
    QSocketNotifier *m_notifier = nullptr;
    std::function<void()> m_onStop;
    bool m_stopped = false;
};

} // namespace qle::cli
