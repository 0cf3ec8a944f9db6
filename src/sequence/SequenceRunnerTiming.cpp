// The timed steps of a run: waits, waits until a reading, ramps, and the
// schedule they keep.
#include "SequenceRunner.h"

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "Units.h"
#include "WaitCondition.h"

#include <algorithm>

namespace qle::sequence {
namespace {

qint64 nowMs()
{
    return static_cast<qint64>(platform::clock().monotonicSec() * 1000);
}

} // namespace

void SequenceRunner::armAt(double scheduleSec, std::function<void()> then)
{
    m_armedAt = scheduleSec;
    m_armed = std::move(then);
    // While paused the time is kept: resume arms it again.
    if (m_state == State::Running)
        m_timer.start(m_clock.msUntil(scheduleSec));
}

void SequenceRunner::onArmedTimer()
{
    if (!m_armed || m_state != State::Running)
        return;
    // A wait longer than a timer holds is armed in parts.
    if (const int left = m_clock.msUntil(m_armedAt); left > 0) {
        m_timer.start(left);
        return;
    }
    std::exchange(m_armed, nullptr)();
}

void SequenceRunner::beginWait(double seconds)
{
    m_activity = Activity::Wait;
    const double end = m_planSec + seconds;
    armAt(end, [this, end] {
        m_planSec = end;
        m_activity = Activity::None;
        advance();
    });
}

void SequenceRunner::beginWaitUntil(const WaitUntilStep &until)
{
    m_activity = Activity::WaitUntil;
    m_until = until;
    m_untilStartSec = m_clock.scheduleSec();
    // Only readings that arrive from now on count.
    m_freshAfterMs = nowMs();
    m_measuring = false;
    armAt(m_untilStartSec + until.timeoutSec, [this] { onWaitTimeout(); });
    measureForWait();
}

void SequenceRunner::measureForWait()
{
    if (m_activity != Activity::WaitUntil || m_state != State::Running || m_measuring || m_hostPolls || !m_instrument)
        return;
    m_measuring = true;
    const double askedAt = m_clock.scheduleSec();
    m_instrument->measure(m_until.channel, guarded([this, askedAt](const Outcome &outcome) {
                              m_measuring = false;
                              if (!outcome.done()) {
                                  failWith(outcome);
                                  return;
                              }
                              checkWaitCondition();
                              // A steady period from one question to the next, the next never
                              // before the last was answered.
                              if (m_activity == Activity::WaitUntil && m_state == State::Running) {
                                  const double nextAt = askedAt + m_measurePeriodMs / 1000.0;
                                  m_measureTimer.start(m_clock.msUntil(nextAt));
                              }
                          }));
}

void SequenceRunner::checkWaitCondition()
{
    if (m_activity != Activity::WaitUntil || m_state != State::Running || !m_instrument)
        return;
    const std::optional<double> value = conditionValue(m_until, m_instrument->channel(m_until.channel), m_freshAfterMs);
    if (!value || !conditionMet(m_until, *value))
        return;
    endWaitUntil(QStringLiteral("met"));
    m_planSec = m_clock.scheduleSec();
    advance();
}

void SequenceRunner::onWaitTimeout()
{
    const bool goOn = m_until.continueOnTimeout;
    const QString after = formatDuration(m_until.timeoutSec);
    endWaitUntil(QStringLiteral("timed out after %1%2").arg(after, goOn ? QStringLiteral(", going on") : QString()));
    if (!goOn) {
        end(EndReason::WaitTimedOut,
            QStringLiteral("wait until of line %1 timed out after %2").arg(m_currentLine).arg(after));
        return;
    }
    m_planSec = m_untilStartSec + m_until.timeoutSec;
    advance();
}

void SequenceRunner::endWaitUntil(const QString &text)
{
    m_timer.stop();
    m_armed = nullptr;
    m_measureTimer.stop();
    m_activity = Activity::None;
    const QString readings = m_instrument ? describeReadings(m_instrument->channel(m_until.channel)) : QString();
    note(RunLogEntry::Kind::WaitEnded, -1,
         QStringLiteral("%1 %2; ch%3 read %4")
             .arg(describeCondition(m_until), text)
             .arg(m_until.channel + 1)
             .arg(readings));
}

void SequenceRunner::beginRamp(const RampStep &ramp)
{
    m_activity = Activity::Ramp;
    m_ramp = ramp;
    m_rampStartSec = m_planSec;
    m_rampIndex = 0;
    armAt(m_rampStartSec, [this] { sendRampValue(); });
}

void SequenceRunner::sendRampValue()
{
    if (!m_instrument)
        return;
    const double value = rampValue(m_ramp, m_rampIndex);
    const Dimension dimension = m_ramp.setting == ChannelSetting::Current ? Dimension::Current : Dimension::Voltage;
    note(RunLogEntry::Kind::RampValue, m_rampStartSec + rampOffsetSec(m_ramp, m_rampIndex),
         QStringLiteral("ch%1 %2 (%3 of %4)")
             .arg(m_ramp.channel + 1)
             .arg(formatQuantity(value, dimension))
             .arg(m_rampIndex + 1)
             .arg(m_ramp.intervals + 1));
    m_instrument->setChannel(
        m_ramp.channel, m_ramp.setting, value, ChangeSource::Script, guarded([this](const Outcome &outcome) {
            if (!outcome.done()) {
                failWith(outcome);
                return;
            }
            proceed([this] {
                if (m_rampIndex >= m_ramp.intervals) {
                    m_planSec = m_rampStartSec + m_ramp.seconds;
                    m_activity = Activity::None;
                    advance();
                    return;
                }
                ++m_rampIndex;
                armAt(m_rampStartSec + rampOffsetSec(m_ramp, m_rampIndex), [this] { sendRampValue(); });
            });
        }));
}

} // namespace qle::sequence
