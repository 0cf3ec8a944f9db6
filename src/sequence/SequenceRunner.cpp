#include "SequenceRunner.h"

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "Units.h"

namespace qle::sequence {
namespace {

// Commands the engine may hold before the run waits for the link.
constexpr int CommandBacklog = 8;
constexpr int BacklogCheckMs = 20;

SequenceRunner::EndReason reasonOf(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Refused:
        return SequenceRunner::EndReason::Refused;
    case Outcome::Kind::InstrumentError:
        return SequenceRunner::EndReason::InstrumentError;
    case Outcome::Kind::LinkLost:
        return SequenceRunner::EndReason::LinkLost;
    case Outcome::Kind::Done:
        break;
    }
    return SequenceRunner::EndReason::Completed;
}

QString reasonText(Outcome::Kind kind)
{
    switch (kind) {
    case Outcome::Kind::Refused:
        return QStringLiteral("refused");
    case Outcome::Kind::InstrumentError:
        return QStringLiteral("instrument error");
    case Outcome::Kind::LinkLost:
        return QStringLiteral("link lost");
    case Outcome::Kind::Done:
        break;
    }
    return QStringLiteral("done");
}

} // namespace

SequenceRunner::SequenceRunner(Instrument &instrument, ISequenceHost *host, QObject *parent)
    : QObject(parent), m_instrument(&instrument), m_host(host)
{
    m_timer.setSingleShot(true);
    // Ramp steps keep their times to the millisecond, not to the 5 % a
    // coarse timer allows.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SequenceRunner::onArmedTimer);
    m_backlogTimer.setSingleShot(true);
    connect(&m_backlogTimer, &QTimer::timeout, this, [this] {
        if (m_afterBacklog)
            proceedAfterCommand(std::exchange(m_afterBacklog, nullptr));
    });
    m_measureTimer.setSingleShot(true);
    connect(&m_measureTimer, &QTimer::timeout, this, &SequenceRunner::measureForWait);
    connect(&instrument, &Instrument::readingChanged, this, [this](int channel, bool) {
        if (m_activity == Activity::WaitUntil && channel == m_until.channel)
            checkWaitCondition();
    });
    connect(&instrument, &Instrument::linkLost, this, [this](const QString &cause) {
        if (isActive() && m_activity != Activity::Ending)
            end(EndReason::LinkLost, QStringLiteral("link lost on line %1: %2").arg(m_currentLine).arg(cause));
    });
}

SequenceRunner::~SequenceRunner()
{
    // The host's polling goes back as it was, even for a run cut short.
    if (m_pollingBegun && m_host)
        m_host->restorePolling();
}

QString SequenceRunner::stateName(State state)
{
    switch (state) {
    case State::Idle:
        return QStringLiteral("idle");
    case State::Running:
        return QStringLiteral("running");
    case State::Paused:
        return QStringLiteral("paused");
    case State::Done:
        return QStringLiteral("done");
    case State::Stopped:
        break;
    }
    return QStringLiteral("stopped");
}

CheckResult SequenceRunner::check(const Program &program) const
{
    const LinkOptions link = m_instrument ? m_instrument->link() : LinkOptions{};
    return check(program, estimateLinkPace(link, m_instrument ? m_instrument->family() : CommandFamily::Colon));
}

CheckResult SequenceRunner::check(const Program &program, const LinkPace &pace) const
{
    if (!m_instrument) {
        CheckResult result;
        result.diagnostics.append({{}, QStringLiteral("no instrument")});
        return result;
    }
    return checkSequence(program, *m_instrument, pace, m_host && m_host->canRecord());
}

CheckResult SequenceRunner::start(const Program &program)
{
    const LinkOptions link = m_instrument ? m_instrument->link() : LinkOptions{};
    return start(program, estimateLinkPace(link, m_instrument ? m_instrument->family() : CommandFamily::Colon));
}

CheckResult SequenceRunner::start(const Program &program, const LinkPace &pace)
{
    CheckResult result = check(program, pace);
    if (isActive())
        result.diagnostics.append({{}, QStringLiteral("a sequence is running already")});
    else if (m_instrument && m_instrument->state() != ConnectionState::Running)
        result.diagnostics.append({{}, QStringLiteral("the instrument is not connected")});
    if (!result.ok())
        return result;

    m_program = program;
    m_cursor = std::make_unique<StepCursor>(m_program.steps);
    m_log.clear();
    m_endReason = EndReason::None;
    m_endText.clear();
    m_currentLine = 0;
    m_planSec = 0;
    m_held = nullptr;
    m_recording = false;
    m_activity = Activity::None;
    ++m_activityId;
    m_clock.start();
    m_hostPolls = m_host && m_host->beginLivePolling();
    m_pollingBegun = m_host != nullptr;
    setState(State::Running);
    note(RunLogEntry::Kind::Note, 0, QStringLiteral("start: %1").arg(result.summary()));
    // The first step runs from the event loop, so that a caller sees every
    // signal of the run after start returns, the end included.
    m_advanceWanted = true;
    QMetaObject::invokeMethod(
        this,
        [this, id = m_activityId] {
            if (m_activityId == id && m_state == State::Running && m_advanceWanted)
                advance();
        },
        Qt::QueuedConnection);
    return result;
}

void SequenceRunner::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

double SequenceRunner::elapsedSec() const
{
    return isActive() ? m_clock.elapsedSec() : m_finalElapsedSec;
}

DurationEstimate SequenceRunner::remaining() const
{
    if (!isActive() || !m_cursor)
        return {};
    DurationEstimate left = m_cursor->remaining();
    const double now = m_clock.scheduleSec();
    const auto add = [&left](double known, double most, bool open) {
        left.knownSec += std::max(known, 0.0);
        left.atMostSec += std::max(most, 0.0);
        left.open = left.open || open;
    };
    switch (m_activity) {
    case Activity::Wait:
        add(m_armedAt - now, m_armedAt - now, false);
        break;
    case Activity::Ramp:
        add(m_rampStartSec + m_ramp.seconds - now, m_rampStartSec + m_ramp.seconds - now, false);
        break;
    case Activity::WaitUntil:
        add(0, m_untilStartSec + m_until.timeoutSec - now, true);
        break;
    case Activity::None:
    case Activity::Command:
    case Activity::Ending:
        break;
    }
    return left;
}

QString SequenceRunner::statusText() const
{
    if (!isActive())
        return m_endText.isEmpty() ? stateName(m_state) : stateName(m_state) + QStringLiteral(": ") + m_endText;
    QString text = QStringLiteral("%1, line %2").arg(stateName(m_state)).arg(m_currentLine);
    if (const QString passes = m_cursor ? m_cursor->passes() : QString(); !passes.isEmpty())
        text += QStringLiteral(" (%1)").arg(passes);
    const DurationEstimate left = remaining();
    text += QStringLiteral(", %1 elapsed, ").arg(formatDuration(elapsedSec()));
    text += left.open
                ? QStringLiteral("%1 to %2 left").arg(formatDuration(left.knownSec), formatDuration(left.atMostSec))
                : QStringLiteral("about %1 left").arg(formatDuration(left.knownSec));
    return text;
}

void SequenceRunner::pause()
{
    if (m_state != State::Running || m_activity == Activity::Ending)
        return;
    m_clock.pause();
    m_timer.stop();
    m_measureTimer.stop();
    setState(State::Paused);
    note(RunLogEntry::Kind::Note, -1, QStringLiteral("paused"));
}

void SequenceRunner::resume()
{
    if (m_state != State::Paused)
        return;
    m_clock.resume();
    setState(State::Running);
    note(RunLogEntry::Kind::Note, -1, QStringLiteral("resumed"));
    if (m_armed)
        armAt(m_armedAt, std::move(m_armed));
    if (m_activity == Activity::WaitUntil) {
        // What the instrument did during the pause does not count.
        m_freshAfterMs = static_cast<qint64>(platform::clock().monotonicSec() * 1000);
        measureForWait();
    }
    if (m_held)
        std::exchange(m_held, nullptr)();
    else if (m_advanceWanted)
        advance();
}

void SequenceRunner::stop()
{
    if (isActive() && m_activity != Activity::Ending)
        end(EndReason::Requested, QStringLiteral("stopped by request on line %1").arg(m_currentLine));
}

void SequenceRunner::proceed(std::function<void()> next)
{
    if (m_state == State::Paused)
        m_held = std::move(next);
    else
        next();
}

void SequenceRunner::proceedAfterCommand(std::function<void()> next)
{
    // The legacy family has no error queue: its commands are done once
    // queued, and a file of commands without waits would fill the engine's
    // queue faster than the link writes it.
    if (m_instrument && m_instrument->engine().CmdTaskCount >= CommandBacklog) {
        m_afterBacklog = std::move(next);
        m_backlogTimer.start(BacklogCheckMs);
        return;
    }
    proceed(std::move(next));
}

OutcomeHandler SequenceRunner::guarded(std::function<void(const Outcome &)> handler)
{
    return [self = QPointer<SequenceRunner>(this), id = m_activityId, handler = std::move(handler)](const Outcome &o) {
        if (self && self->m_activityId == id && self->isActive())
            handler(o);
    };
}

void SequenceRunner::failWith(const Outcome &outcome)
{
    end(reasonOf(outcome.kind),
        QStringLiteral("%1 on line %2: %3").arg(reasonText(outcome.kind)).arg(m_currentLine).arg(outcome.text));
}

void SequenceRunner::advance()
{
    m_advanceWanted = true;
    // Steps that end at once (a mark, a command refused before sending)
    // come back here: they loop instead of nesting.
    if (m_advancing)
        return;
    m_advancing = true;
    while (m_advanceWanted && m_state == State::Running && m_activity != Activity::Ending) {
        m_advanceWanted = false;
        const Step *step = m_cursor->next();
        if (!step) {
            end(EndReason::Completed, QStringLiteral("all steps done"));
            break;
        }
        runStep(*step);
    }
    m_advancing = false;
}

void SequenceRunner::runStep(const Step &step)
{
    m_activity = Activity::None;
    ++m_activityId;
    m_currentLine = step.at.line;
    const QString passes = m_cursor->passes();
    note(RunLogEntry::Kind::Step, m_planSec, passes.isEmpty() ? step.source : step.source + "  [" + passes + "]");
    emit stepStarted(step.at.line);
    // A slot of the signal may have stopped the run.
    if (m_activity == Activity::Ending || !isActive())
        return;
    Instrument *instrument = m_instrument;
    if (!instrument) {
        end(EndReason::LinkLost, QStringLiteral("link lost on line %1: the instrument is gone").arg(m_currentLine));
        return;
    }
    if (const auto *set = std::get_if<SetStep>(&step.action)) {
        runCommand([=, s = *set](OutcomeHandler done) {
            instrument->setChannel(s.channel, s.setting, s.value, ChangeSource::Script, std::move(done));
        });
    } else if (const auto *output = std::get_if<OutputStep>(&step.action)) {
        runCommand([=, on = output->on](OutcomeHandler done) {
            instrument->setOutput(on, ChangeSource::Script, std::move(done));
        });
    } else if (const auto *coupling = std::get_if<CouplingStep>(&step.action)) {
        runCommand([=, mode = coupling->coupling](OutcomeHandler done) {
            instrument->setCoupling(mode, ChangeSource::Script, std::move(done));
        });
    } else if (const auto *recall = std::get_if<RecallStep>(&step.action)) {
        runCommand([=, memory = recall->memory](OutcomeHandler done) {
            instrument->recallMemory(memory, ChangeSource::Script, std::move(done));
        });
    } else if (const auto *wait = std::get_if<WaitStep>(&step.action)) {
        beginWait(wait->seconds);
    } else if (const auto *until = std::get_if<WaitUntilStep>(&step.action)) {
        beginWaitUntil(*until);
    } else if (const auto *ramp = std::get_if<RampStep>(&step.action)) {
        beginRamp(*ramp);
    } else if (const auto *mark = std::get_if<MarkStep>(&step.action)) {
        if (m_host)
            m_host->mark(mark->text);
        note(RunLogEntry::Kind::Mark, -1, mark->text);
        advance();
    } else if (const auto *record = std::get_if<RecordStep>(&step.action)) {
        runRecord(*record);
    }
}

void SequenceRunner::runCommand(const std::function<void(OutcomeHandler)> &operation)
{
    m_activity = Activity::Command;
    operation(guarded([this](const Outcome &outcome) {
        if (!outcome.done()) {
            failWith(outcome);
            return;
        }
        proceedAfterCommand([this] { advance(); });
    }));
}

void SequenceRunner::runRecord(const RecordStep &record)
{
    if (record.start) {
        const std::optional<QString> whyNot =
            m_host ? m_host->startRecording() : std::optional<QString>(QStringLiteral("no recorder"));
        if (whyNot) {
            end(EndReason::Refused,
                QStringLiteral("refused on line %1: record start: %2").arg(m_currentLine).arg(*whyNot));
            return;
        }
        m_recording = true;
    } else if (m_host) {
        m_host->stopRecording();
        m_recording = false;
    }
    advance();
}

void SequenceRunner::end(EndReason reason, const QString &text)
{
    m_timer.stop();
    m_measureTimer.stop();
    m_backlogTimer.stop();
    m_armed = nullptr;
    m_held = nullptr;
    m_afterBacklog = nullptr;
    m_activity = Activity::Ending;
    ++m_activityId;
    m_endReason = reason;
    m_endText = text;
    if (m_clock.paused())
        m_clock.resume();
    note(RunLogEntry::Kind::Note, -1, text);
    if (m_recording && m_host) {
        m_host->stopRecording();
        m_recording = false;
        note(RunLogEntry::Kind::Note, -1, QStringLiteral("recording stopped"));
    }
    if (reason == EndReason::Completed)
        finish();
    else
        applyEndAction();
}

void SequenceRunner::applyEndAction()
{
    if (m_program.onStop == EndAction::Hold) {
        note(RunLogEntry::Kind::Note, -1, QStringLiteral("on stop: hold, nothing sent"));
        finish();
        return;
    }
    if (m_endReason == EndReason::LinkLost || !m_instrument) {
        note(RunLogEntry::Kind::Note, -1, QStringLiteral("on stop: output off could not be sent: the link is lost"));
        finish();
        return;
    }
    m_instrument->setOutput(false, ChangeSource::Script,
                            [self = QPointer<SequenceRunner>(this)](const Outcome &outcome) {
                                if (!self)
                                    return;
                                self->note(RunLogEntry::Kind::Note, -1,
                                           outcome.done() ? QStringLiteral("on stop: output off sent")
                                                          : QStringLiteral("on stop: output off failed (%1): %2")
                                                                .arg(reasonText(outcome.kind), outcome.text));
                                self->finish();
                            });
}

void SequenceRunner::finish()
{
    m_finalElapsedSec = m_clock.elapsedSec();
    m_activity = Activity::None;
    if (m_pollingBegun && m_host)
        m_host->restorePolling();
    m_pollingBegun = false;
    const State last = m_endReason == EndReason::Completed ? State::Done : State::Stopped;
    RunLogEntry entry{RunLogEntry::Kind::End, 0, -1, m_finalElapsedSec * 1000, stateName(last) + ": " + m_endText};
    m_log.append(entry);
    emit logged(entry);
    setState(last);
    emit finished(last, m_endReason, m_endText);
}

void SequenceRunner::note(RunLogEntry::Kind kind, double plannedSec, const QString &text)
{
    const RunLogEntry entry{kind, m_currentLine, plannedSec < 0 ? -1 : m_clock.elapsedAt(plannedSec) * 1000,
                            m_clock.elapsedSec() * 1000, text};
    m_log.append(entry);
    emit logged(entry);
}

} // namespace qle::sequence
