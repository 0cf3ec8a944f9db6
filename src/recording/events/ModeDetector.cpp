#include "ModeDetector.h"

namespace qle {

std::optional<ModeDetector::Mode> ModeDetector::feed(double setAmps, double measuredAmps)
{
    if (!(setAmps > 0))
        return std::nullopt;
    const double share = measuredAmps / setAmps;
    // Inside the band between the two edges the mode stays as it is.
    Mode shown;
    if (share >= m_thresholds.enterCc)
        shown = Mode::ConstantCurrent;
    else if (share < m_thresholds.leaveCc)
        shown = Mode::ConstantVoltage;
    else
        shown = m_mode.value_or(Mode::ConstantVoltage);

    if (m_mode == shown) {
        m_candidate.reset();
        m_candidateCount = 0;
        return std::nullopt;
    }
    if (m_candidate == shown) {
        ++m_candidateCount;
    } else {
        m_candidate = shown;
        m_candidateCount = 1;
    }
    if (m_candidateCount < m_thresholds.holdReadings)
        return std::nullopt;
    m_mode = shown;
    m_candidate.reset();
    m_candidateCount = 0;
    return m_mode;
}

void ModeDetector::reset()
{
    m_mode.reset();
    m_candidate.reset();
    m_candidateCount = 0;
}

} // namespace qle
