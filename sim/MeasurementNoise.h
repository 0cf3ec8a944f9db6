#pragma once

#include <cstdint>
#include <random>

namespace psusim {

// Small, repeatable read-back noise: uniform within +-amplitude, from a
// seeded generator so that a run with the same seed reads the same values.
class MeasurementNoise {
public:
    static constexpr double kDefaultVoltAmplitude = 0.001;  // 1 mV
    static constexpr double kDefaultCurrAmplitude = 0.0001; // 0.1 mA

    explicit MeasurementNoise(std::uint32_t seed = 1, double voltAmplitude = kDefaultVoltAmplitude,
                              double currAmplitude = kDefaultCurrAmplitude);

    // Readings never go below zero.
    double voltage(double exact);
    double current(double exact);

private:
    double jitter(double exact, double amplitude);

    std::mt19937 m_engine;
    double m_voltAmplitude;
    double m_currAmplitude;
};

} // namespace psusim
