#include "SequenceCheck.h"

#include "instrument/Instrument.h"
#include "Units.h"

#include <cmath>

namespace qle::sequence {
namespace {

class Checker {
public:
    Checker(const Instrument &instrument, const LinkPace &pace, bool canRecord, QList<Diagnostic> &out)
        : m_instrument(instrument), m_pace(pace), m_canRecord(canRecord), m_out(out)
    {
    }

    void steps(const std::vector<Step> &steps)
    {
        for (const Step &step : steps)
            one(step);
    }

private:
    void one(const Step &step)
    {
        if (const auto *set = std::get_if<SetStep>(&step.action)) {
            if (channel(set->channel, set->channelAt))
                value(set->channel, set->setting, set->value, set->valueAt);
        } else if (std::holds_alternative<CouplingStep>(step.action)) {
            if (m_instrument.layout() == 2)
                fail(step.at, model() + QStringLiteral(" has one output: no coupling"));
        } else if (const auto *recall = std::get_if<RecallStep>(&step.action)) {
            memory(recall->memory, recall->memoryAt);
        } else if (const auto *until = std::get_if<WaitUntilStep>(&step.action)) {
            if (channel(until->channel, until->channelAt) && !readable(until->channel))
                fail(until->channelAt, QStringLiteral("%1 cannot read ch%2").arg(model()).arg(until->channel + 1));
        } else if (const auto *ramp = std::get_if<RampStep>(&step.action)) {
            if (channel(ramp->channel, ramp->channelAt) &&
                value(ramp->channel, ramp->setting, ramp->from, ramp->fromAt))
                value(ramp->channel, ramp->setting, ramp->to, ramp->toAt);
            pace(step.at, *ramp);
        } else if (const auto *repeat = std::get_if<RepeatStep>(&step.action)) {
            steps(repeat->body);
        } else if (const auto *record = std::get_if<RecordStep>(&step.action)) {
            if (!m_canRecord)
                fail(step.at, QStringLiteral("record %1 needs a recorder, and this run has none")
                                  .arg(record->start ? "start" : "stop"));
        }
    }

    [[nodiscard]] QString model() const { return m_instrument.model(); }

    void fail(Position at, const QString &message) { m_out.append({at, message}); }

    bool channel(int channel, Position at)
    {
        const int count = m_instrument.channelCount();
        if (channel < count)
            return true;
        fail(at, count == 1
                     ? model() + QStringLiteral(" has one output: ch1 only")
                     : QStringLiteral("%1 has no channel %2 (ch1 to ch%3)").arg(model()).arg(channel + 1).arg(count));
        return false;
    }

    bool value(int channel, ChannelSetting setting, double value, Position at)
    {
        const std::optional<Instrument::Range> range = m_instrument.range(channel, setting);
        if (!range) {
            fail(at,
                 model() + (setting == ChannelSetting::OverCurrent ? QStringLiteral(" has no over-current protection")
                                                                   : QStringLiteral(" has no over-voltage setting")));
            return false;
        }
        if (setting == ChannelSetting::OverCurrent || (value >= range->minimum && value <= range->maximum))
            return true;
        const Dimension dimension = setting == ChannelSetting::Current ? Dimension::Current : Dimension::Voltage;
        fail(at, QStringLiteral("%1 is outside the limits of %2 ch%3: %4 to %5")
                     .arg(formatQuantity(value, dimension), model())
                     .arg(channel + 1)
                     .arg(formatQuantity(range->minimum, dimension), formatQuantity(range->maximum, dimension)));
        return false;
    }

    void memory(int memory, Position at)
    {
        if (m_instrument.layout() == 2)
            fail(at, model() + QStringLiteral(" has no memories"));
        else if (memory < Instrument::FirstMemory || memory > Instrument::LastMemory)
            fail(at, QStringLiteral("%1 has memories %2 to %3")
                         .arg(model())
                         .arg(Instrument::FirstMemory)
                         .arg(Instrument::LastMemory));
    }

    [[nodiscard]] bool readable(int channel) const
    {
        return channel <= 2 && !m_instrument.commands().query(query::MeasVolt1 + 2 * channel).isEmpty() &&
               !m_instrument.commands().query(query::MeasCurr1 + 2 * channel).isEmpty();
    }

    void pace(Position at, const RampStep &ramp)
    {
        const double intervalMs = ramp.seconds * 1000 / ramp.intervals;
        if (intervalMs >= m_pace.stepMs)
            return;
        const qint64 most = m_pace.stepsIn(ramp.seconds);
        const QString advice = most >= 1 ? QStringLiteral("use at most %1 steps or a longer time").arg(most)
                                         : QStringLiteral("use a longer time");
        fail(at, QStringLiteral("ramp of line %1 needs a step every %2 ms; this link (%3) takes about %4 ms a step: %5")
                     .arg(at.line)
                     .arg(intervalMs, 0, 'f', intervalMs < 10 ? 1 : 0)
                     .arg(m_pace.basis)
                     .arg(std::ceil(m_pace.stepMs), 0, 'f', 0)
                     .arg(advice));
    }

    const Instrument &m_instrument;
    const LinkPace &m_pace;
    bool m_canRecord;
    QList<Diagnostic> &m_out;
};

} // namespace

QString CheckResult::summary() const
{
    return QStringLiteral("%1 command%2, %3").arg(commands).arg(commands == 1 ? "" : "s").arg(duration.text());
}

QString CheckResult::report() const
{
    return formatDiagnostics(diagnostics) + summary() + u'\n';
}

CheckResult checkSequence(const Program &program, const Instrument &instrument, const LinkPace &pace, bool canRecord)
{
    CheckResult result;
    result.duration = estimateDuration(program.steps);
    result.commands = countCommands(program.steps);
    if (instrument.channelCount() == 0) {
        result.diagnostics.append({{}, QStringLiteral("no instrument identified: connect to one first")});
        return result;
    }
    // Steps are checked in file order: so are the diagnostics.
    Checker(instrument, pace, canRecord, result.diagnostics).steps(program.steps);
    return result;
}

} // namespace qle::sequence
