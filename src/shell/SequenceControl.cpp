#include "SequenceControl.h"

#include "MDIForm1.h"
#include "platform/Trace.h"
#include "recording/table/frmDataTable.h"
#include "RecordingTimeline.h"

#include <QFile>

namespace qle {

SequenceControl::SequenceControl(MDIForm1 &window, QObject *parent)
    : QObject(parent), m_window(window), m_runner(new sequence::SequenceRunner(window.model(), this, this))
{
    connect(m_runner, &sequence::SequenceRunner::finished, this, &SequenceControl::onFinished);
    // While a sequence runs, what it changes through the model is its own
    // on the recording's timeline, each step with it.
    connect(m_runner, &sequence::SequenceRunner::stateChanged, this, [this](sequence::SequenceRunner::State state) {
        m_window.timeline().events().setScriptSource(state == sequence::SequenceRunner::State::Running ||
                                                             state == sequence::SequenceRunner::State::Paused
                                                         ? RecordEvent::Source::Sequence
                                                         : RecordEvent::Source::Script);
    });
    connect(m_runner, &sequence::SequenceRunner::stepStarted, this, [this](int line) {
        EventRecorder &events = m_window.timeline().events();
        if (events.isRunning())
            events.note(
                RecordEvent::Kind::SequenceStep, -1, RecordEvent::Source::Sequence,
                QStringLiteral("line %1: %2").arg(line).arg(m_text.section(u'\n', line - 1, line - 1).trimmed()));
    });
    // "Record while running" over an output that is still off starts the
    // recording once the run switches the output on.
    connect(&window.model(), &Instrument::outputChanged, this, [this](bool on) {
        if (on && m_recordWhileRunning && m_runner->isActive() && !m_recordingByRun)
            startRecording();
    });
}

SequenceControl::~SequenceControl() = default;

sequence::LoadResult SequenceControl::loadFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return loadText(QString::fromUtf8(file.readAll()), path);
    // The loader names the file and why it cannot be read.
    sequence::LoadResult result = sequence::loadSequenceFile(path);
    m_text.clear();
    m_path = path;
    m_loaded.reset();
    emit loadedChanged();
    return result;
}

sequence::LoadResult SequenceControl::loadText(const QString &text, const QString &path)
{
    sequence::LoadResult result = sequence::loadSequence(text);
    m_text = text;
    m_path = path;
    m_loaded = result.ok() ? std::optional(result.program) : std::nullopt;
    emit loadedChanged();
    return result;
}

QString SequenceControl::whyNotChecked() const
{
    if (m_text.isEmpty() && m_path.isEmpty())
        return QStringLiteral("no sequence loaded");
    if (!m_loaded)
        return QStringLiteral("the sequence has faults");
    if (m_window.model().state() != ConnectionState::Running)
        return QStringLiteral("no instrument connected");
    return {};
}

std::optional<sequence::CheckResult> SequenceControl::check() const
{
    if (!whyNotChecked().isEmpty())
        return std::nullopt;
    return m_runner->check(*m_loaded);
}

sequence::CheckResult SequenceControl::run()
{
    if (const QString why = whyNotChecked(); !why.isEmpty()) {
        sequence::CheckResult refused;
        refused.diagnostics.append({{}, why});
        return refused;
    }
    sequence::CheckResult result = m_runner->start(*m_loaded);
    if (!result.ok() || !m_recordWhileRunning)
        return result;
    // An output still off is waited for; anything else is told.
    const std::optional<QString> refusal = startRecording();
    if (refusal && m_window.model().output().value_or(false))
        m_window.ReportStatus("Not recording: " + *refusal, 10000);
    return result;
}

bool SequenceControl::canRecord() const
{
    return m_window.tableRecorder() != nullptr;
}

std::optional<QString> SequenceControl::startRecording()
{
    frmDataTable *table = m_window.tableRecorder();
    if (!table)
        return QStringLiteral("no recorder");
    if (table->isRecording())
        return std::nullopt;
    if (table->CountRecordCount <= 0)
        return QStringLiteral("set the record period first (Record > Period...)");
    std::optional<QString> refusal = table->startRecording(frmDataTable::UnsavedRows::Keep);
    if (refusal && *refusal == QLatin1String("unsaved recording"))
        return QStringLiteral("unsaved rows of an earlier recording: save them or start a recording once by hand");
    m_recordingByRun = !refusal.has_value();
    return refusal;
}

void SequenceControl::stopRecording()
{
    if (frmDataTable *table = m_window.tableRecorder(); table && table->isRecording())
        table->EndRecordData(0);
    m_recordingByRun = false;
}

void SequenceControl::mark(const QString &text)
{
    Trace("sequence mark: " + text);
    m_window.ReportStatus("Mark: " + text, 5000);
    m_window.timeline().mark(text, RecordEvent::Source::Sequence);
}

bool SequenceControl::beginLivePolling()
{
    // The panel shows the run as it goes; the runner still reads what its
    // waits need itself, so that a wait never rests on a reading polling
    // may skip.
    m_liveByRun = !m_window.polling().live;
    if (m_liveByRun) {
        PollingChoice live = m_window.polling();
        live.live = true;
        m_window.setPolling(live);
    }
    return false;
}

void SequenceControl::restorePolling()
{
    if (!m_liveByRun)
        return;
    m_liveByRun = false;
    PollingChoice classic = m_window.polling();
    classic.live = false;
    m_window.setPolling(classic);
}

void SequenceControl::onFinished()
{
    if (m_recordingByRun && m_recordWhileRunning)
        stopRecording();
}

} // namespace qle
