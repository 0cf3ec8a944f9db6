#include "ProgramMeasure.h"

#include "Units.h"

#include <algorithm>
#include <limits>

namespace qle::sequence {
namespace {

// Repeat counts multiply: kept in doubles and capped, never wrapped.
constexpr double MostCommands = static_cast<double>(std::numeric_limits<qint64>::max() / 2);

double commandsOf(const std::vector<Step> &steps);

double commandsOf(const Step &step)
{
    if (std::holds_alternative<SetStep>(step.action) || std::holds_alternative<OutputStep>(step.action) ||
        std::holds_alternative<CouplingStep>(step.action) || std::holds_alternative<RecallStep>(step.action))
        return 1;
    if (const auto *ramp = std::get_if<RampStep>(&step.action))
        return ramp->intervals + 1.0;
    if (const auto *repeat = std::get_if<RepeatStep>(&step.action))
        return static_cast<double>(repeat->count) * commandsOf(repeat->body);
    return 0;
}

double commandsOf(const std::vector<Step> &steps)
{
    double total = 0;
    for (const Step &step : steps)
        total += commandsOf(step);
    return total;
}

} // namespace

QString DurationEstimate::text() const
{
    if (!open)
        return QStringLiteral("about ") + formatDuration(knownSec);
    return QStringLiteral("at least %1, at most %2").arg(formatDuration(knownSec), formatDuration(atMostSec));
}

DurationEstimate estimateDuration(const Step &step)
{
    if (const auto *wait = std::get_if<WaitStep>(&step.action))
        return {wait->seconds, wait->seconds, false};
    if (const auto *ramp = std::get_if<RampStep>(&step.action))
        return {ramp->seconds, ramp->seconds, false};
    if (const auto *until = std::get_if<WaitUntilStep>(&step.action))
        return {0, until->timeoutSec, true};
    if (const auto *repeat = std::get_if<RepeatStep>(&step.action)) {
        const DurationEstimate body = estimateDuration(repeat->body);
        const auto count = static_cast<double>(repeat->count);
        return {body.knownSec * count, body.atMostSec * count, body.open};
    }
    return {};
}

DurationEstimate estimateDuration(const std::vector<Step> &steps)
{
    DurationEstimate total;
    for (const Step &step : steps) {
        const DurationEstimate one = estimateDuration(step);
        total.knownSec += one.knownSec;
        total.atMostSec += one.atMostSec;
        total.open = total.open || one.open;
    }
    return total;
}

qint64 countCommands(const std::vector<Step> &steps)
{
    return static_cast<qint64>(std::min(commandsOf(steps), MostCommands));
}

double rampValue(const RampStep &ramp, int index)
{
    if (index >= ramp.intervals)
        return ramp.to;
    return ramp.from + (ramp.to - ramp.from) * index / ramp.intervals;
}

double rampOffsetSec(const RampStep &ramp, int index)
{
    return ramp.seconds * index / ramp.intervals;
}

} // namespace qle::sequence
