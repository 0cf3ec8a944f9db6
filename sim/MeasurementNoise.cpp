#include "MeasurementNoise.h"

namespace psusim {

MeasurementNoise::MeasurementNoise(std::uint32_t seed, double voltAmplitude, double currAmplitude)
    : m_engine(seed), m_voltAmplitude(voltAmplitude), m_currAmplitude(currAmplitude)
{
}

double MeasurementNoise::jitter(double exact, double amplitude)
{
    if (amplitude <= 0)
        return exact;
    std::uniform_real_distribution<double> spread(-amplitude, amplitude);
    const double value = exact + spread(m_engine);
    return value < 0 ? 0 : value;
}

double MeasurementNoise::voltage(double exact)
{
    return jitter(exact, m_voltAmplitude);
}

double MeasurementNoise::current(double exact)
{
    return jitter(exact, m_currAmplitude);
}

} // namespace psusim
