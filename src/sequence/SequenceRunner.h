#pragma once

#include "instrument/Instrument.h"
#include "LinkPace.h"
#include "Program.h"
#include "RunClock.h"
#include "RunLog.h"
#include "SequenceCheck.h"
#include "SequenceHost.h"
#include "StepCursor.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace qle::sequence {

// Runs a checked program on an instrument, one step at a time, through the
// model's typed operations (as a script). Each operation's outcome decides:
// done goes on; refused, an instrument error or a lost link end the run,
// and the program's end action is applied. Times follow a schedule on the
// monotonic clock: a wait ends, and a ramp sends each value, at the time
// planned from the run's start, so the time commands take does not add up;
// a `wait until` ends when its condition is met and the plan goes on from
// there. No windows: a front end calls start, pause, resume and stop, and
// shows the signals. Delete a runner with deleteLater(), never in a slot of
// its own signals.
class SequenceRunner final : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Running, Paused, Done, Stopped };
    Q_ENUM(State)
    enum class EndReason { None, Completed, Requested, InstrumentError, Refused, LinkLost, WaitTimedOut };
    Q_ENUM(EndReason)

    static constexpr int DefaultMeasurePeriodMs = 250;

    // `host` may be nullptr; it must outlive the runner otherwise.
    explicit SequenceRunner(Instrument &instrument, ISequenceHost *host = nullptr, QObject *parent = nullptr);
    ~SequenceRunner() override;

    // What a start would check, on the pace of the instrument's link or on `pace`.
    [[nodiscard]] CheckResult check(const Program &program) const;
    [[nodiscard]] CheckResult check(const Program &program, const LinkPace &pace) const;
    // Checks `program` and, when it passes, the instrument is connected and
    // nothing runs, starts it. Nothing is sent otherwise: the result tells
    // why. The first step runs once the event loop is back: every signal of
    // the run, finished included, comes after start returns.
    CheckResult start(const Program &program);
    CheckResult start(const Program &program, const LinkPace &pace);
    // Holds the run where it is (a wait, a ramp, a wait until and its
    // timeout); resume shifts what is left by the time paused.
    void pause();
    void resume();
    // Ends the run early, as by request; the end action follows.
    void stop();

    // Time between the readings the runner asks for during a `wait until`
    // when the host's polling does not feed the model.
    void setMeasurePeriodMs(int ms) { m_measurePeriodMs = ms; }

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] bool isActive() const { return m_state == State::Running || m_state == State::Paused; }
    [[nodiscard]] EndReason endReason() const { return m_endReason; }
    // Why the run ended: "all steps done", "stopped by request on line 2",
    // "refused on line 3: field locked".
    [[nodiscard]] QString endText() const { return m_endText; }
    [[nodiscard]] int currentLine() const { return m_currentLine; }
    // Since the start, pauses included; frozen at the end.
    [[nodiscard]] double elapsedSec() const;
    // What is left by the plan; open while a `wait until` is to come.
    [[nodiscard]] DurationEstimate remaining() const;
    [[nodiscard]] const QList<RunLogEntry> &log() const { return m_log; }
    // One line for a status bar or a status query: "running, line 7 (pass 3
    // of 100), 2 min 5 s elapsed, about 1 h left".
    [[nodiscard]] QString statusText() const;

    static QString stateName(State state);

signals:
    void stateChanged(qle::sequence::SequenceRunner::State state);
    void stepStarted(int line);
    void logged(const qle::sequence::RunLogEntry &entry);
    // Once the end action, if any, has had its outcome.
    void finished(qle::sequence::SequenceRunner::State state, qle::sequence::SequenceRunner::EndReason reason,
                  const QString &text);

private:
    enum class Activity { None, Command, Wait, WaitUntil, Ramp, Ending };

    void setState(State state);
    void advance();
    void runStep(const Step &step);
    void runCommand(const std::function<void(OutcomeHandler)> &operation);
    void runRecord(const RecordStep &record);
    // Goes on with `next` now, or on resume while paused.
    void proceed(std::function<void()> next);
    // Goes on with `next` once the engine has few commands left to write.
    void proceedAfterCommand(std::function<void()> next);
    // An outcome handler that is dropped once the activity it belongs to is over.
    OutcomeHandler guarded(std::function<void(const Outcome &)> handler);
    void failWith(const Outcome &outcome);

    void beginWait(double seconds);
    void beginWaitUntil(const WaitUntilStep &until);
    void measureForWait();
    void checkWaitCondition();
    void onWaitTimeout();
    void endWaitUntil(const QString &text);
    void beginRamp(const RampStep &ramp);
    void sendRampValue();

    // Calls `then` when the schedule reaches `scheduleSec`.
    void armAt(double scheduleSec, std::function<void()> then);
    void onArmedTimer();

    void end(EndReason reason, const QString &text);
    void applyEndAction();
    void finish();
    void note(RunLogEntry::Kind kind, double plannedSec, const QString &text);

    QPointer<Instrument> m_instrument;
    ISequenceHost *m_host;
    Program m_program;
    std::unique_ptr<StepCursor> m_cursor;
    RunClock m_clock;
    QList<RunLogEntry> m_log;

    State m_state = State::Idle;
    EndReason m_endReason = EndReason::None;
    QString m_endText;
    int m_currentLine = 0;
    double m_finalElapsedSec = 0;

    Activity m_activity = Activity::None;
    quint64 m_activityId = 0;
    double m_planSec = 0; // the current step's start on the schedule
    bool m_advancing = false;
    bool m_advanceWanted = false;
    std::function<void()> m_held; // what goes on at resume
    QTimer m_backlogTimer;
    std::function<void()> m_afterBacklog;

    QTimer m_timer; // the schedule's next time
    double m_armedAt = -1;
    std::function<void()> m_armed;

    // The `wait until` under way.
    WaitUntilStep m_until;
    double m_untilStartSec = 0;
    qint64 m_freshAfterMs = 0;
    bool m_measuring = false;
    QTimer m_measureTimer;
    int m_measurePeriodMs = DefaultMeasurePeriodMs;

    // The ramp under way.
    RampStep m_ramp;
    double m_rampStartSec = 0;
    int m_rampIndex = 0;

    bool m_hostPolls = false;
    bool m_pollingBegun = false;
    bool m_recording = false;
};

} // namespace qle::sequence
