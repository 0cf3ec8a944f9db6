#pragma once

#include "platform/Clock.h"
#include "platform/Platform.h"

namespace qle::testing {

// A clock that moves only when the test says so. Installs itself while it lives.
class ManualClock final : public IClock {
public:
    explicit ManualClock(double startSec = 1000.0) : m_now(startSec) { platform::setClock(this); }
    ~ManualClock() override { platform::setClock(nullptr); }
    ManualClock(const ManualClock &) = delete;
    ManualClock &operator=(const ManualClock &) = delete;

    [[nodiscard]] double timeOfDaySec() const override { return m_now; }
    [[nodiscard]] double monotonicSec() const override { return m_now; }
    void advance(double seconds) { m_now += seconds; }

private:
    double m_now;
};

} // namespace qle::testing
