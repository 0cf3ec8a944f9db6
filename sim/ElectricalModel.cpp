#include "ElectricalModel.h"

#include <cmath>

namespace psusim {

OperatingPoint solveOutput(double voltSet, double currLimit, double loadOhms)
{
    if (std::isinf(loadOhms))
        return {voltSet, 0, false};
    if (loadOhms <= 0) // dead short: all the limit flows at zero volts
        return {0, currLimit, currLimit > 0 || voltSet > 0};
    const double cvCurrent = voltSet / loadOhms;
    if (cvCurrent <= currLimit)
        return {voltSet, cvCurrent, false};
    return {currLimit * loadOhms, currLimit, true};
}

} // namespace psusim
