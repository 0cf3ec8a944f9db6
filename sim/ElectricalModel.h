#pragma once

#include <limits>

namespace psusim {

inline constexpr double kOpenCircuit = std::numeric_limits<double>::infinity();

struct OperatingPoint {
    double volt = 0;
    double curr = 0;
    bool constantCurrent = false;
};

// One regulated output into a resistive load: constant voltage while the
// load draws no more than the current limit, otherwise constant current
// with the voltage falling to limit x load.
OperatingPoint solveOutput(double voltSet, double currLimit, double loadOhms);

} // namespace psusim
