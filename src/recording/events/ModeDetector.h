#pragma once

#include <optional>

namespace qle {

// Whether an output regulates its voltage or its current, told from its set
// current and the current it delivers, with hysteresis so that noise near
// the edge does not make it flap: constant current from `enterCc` of the
// set current up, back to constant voltage only below `leaveCc`, and a new
// mode only once `holdReadings` readings in a row show it.
class ModeDetector {
public:
    enum class Mode { ConstantVoltage, ConstantCurrent };

    struct Thresholds {
        double enterCc = 0.98;
        double leaveCc = 0.95;
        int holdReadings = 2;
    };

    ModeDetector() = default;
    explicit ModeDetector(const Thresholds &thresholds) : m_thresholds(thresholds) {}

    // Takes one reading; the new mode when it changed (also the first mode
    // found), nothing otherwise. A set current of 0 or less tells nothing.
    std::optional<Mode> feed(double setAmps, double measuredAmps);
    // Forgets the mode (output off, link lost): the next mode found is new.
    void reset();
    [[nodiscard]] std::optional<Mode> mode() const { return m_mode; }

private:
    Thresholds m_thresholds;
    std::optional<Mode> m_mode;
    std::optional<Mode> m_candidate;
    int m_candidateCount = 0;
};

} // namespace qle
