#pragma once

#include <QTimer>

namespace qle {

// A repeating timer whose handler may let it rest while it has nothing to
// do: rest() stops it until wake() starts it again. A stop() from outside
// ends it for good, so a later wake() leaves it stopped.
class RestingTimer final : public QTimer {
public:
    using QTimer::QTimer;

    void rest()
    {
        if (!isActive())
            return;
        QTimer::stop();
        m_resting = true;
    }
    void wake()
    {
        if (!m_resting)
            return;
        m_resting = false;
        start();
    }
    // Hides QTimer::stop: callers of this class end the resting too.
    void stop()
    {
        m_resting = false;
        QTimer::stop();
    }

private:
    bool m_resting = false;
};

} // namespace qle
