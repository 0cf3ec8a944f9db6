#pragma once

#include <QElapsedTimer>

namespace qle {

class IClock {
public:
    virtual ~IClock() = default;
    // Seconds since midnight, local time, with a fraction.
    [[nodiscard]] virtual double timeOfDaySec() const = 0;
    // Seconds on a clock that never jumps or wraps; never 0.
    [[nodiscard]] virtual double monotonicSec() const = 0;
};

class SystemClock final : public IClock {
public:
    [[nodiscard]] double timeOfDaySec() const override;
    [[nodiscard]] double monotonicSec() const override;
};

} // namespace qle
