// The table recorder's recording: start, stop and the one-second tick.
#include "frmDataTable.h"

#include "panels/Panel.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/Trace.h"
#include "RecorderHost.h"
#include "recording/database/RecordTime.h"
#include "recording/database/SampleInterval.h"
#include "recording/graph/frmGraphicRecord.h"
#include "RecordTableModel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace qle {
namespace {

constexpr int ConnectedState = 3;

QDateTime nowToTheSecond()
{
    QDateTime now = QDateTime::currentDateTime();
    return now.addMSecs(-now.time().msec());
}

} // namespace

void frmDataTable::RecordPeriod(qint16 Days, qint16 Hours, qint16 Miniutes, qint16 Seconds, qint16 iScale,
                                qint16 iOpmode)
{
    CountRecordCount = ((qint32{Days} * 24 + Hours) * 60 + Miniutes) * 60 + Seconds;
    TimerRecordData.setInterval(1000);
    m_scale = iScale;
    m_reducer.setMode(iOpmode);
    m_limit = iScale == 0 ? 0 : sampleinterval::reductionLimit(iScale);
}

void frmDataTable::BeginRecordData()
{
    if (const std::optional<QString> refusal = startRecording(UnsavedRows::Ask)) {
        if (!refusal->isEmpty())
            platform::messageBox().show(*refusal, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Information);
    }
}

std::optional<QString> frmDataTable::startRecording(UnsavedRows unsaved)
{
    // A start that cannot record leaves the rows there are as they are.
    if (m_host.mainFormState() != ConnectedState) {
        stopRecording();
        return QStringLiteral("Please check connection with device and then try again!");
    }
    const Panel *panel = m_host.currentPanel();
    if (!panel || !panel->IsOutput) {
        stopRecording();
        return QStringLiteral("Please setup Device into Auto Run mode and then try again!");
    }
    if (unsaved == UnsavedRows::Ask && !mayDiscardWorkingRows())
        return QString();
    if (unsaved == UnsavedRows::Keep) {
        qint64 count = 0;
        if (!m_records.unsavedWorkingRows(&count))
            return m_records.errorDescription();
        if (count > 0)
            return QStringLiteral("unsaved recording");
    }
    ClearData();
    m_rowsRecStyle = QString::number(m_host.recordScaleSetting());
    // Rows kept after a lost link are saved with the interval they were
    // recorded at, whatever the setting is by then.
    platform::settings().SaveSetting("RECORDPERIOD", "WorkingRecScale", m_rowsRecStyle);
    emit recordingStarted();
    // Every list of the recording's rows gets its room at once: grown step
    // by step, a day of rows would leave each step's copy behind in the heap.
    const qint64 expected = CountRecordCount / std::max(1, sampleinterval::seconds(m_scale)) + 1;
    m_rows.reserve(static_cast<qsizetype>(expected));
    m_model->reserveRows(static_cast<qsizetype>(expected));
    if (frmGraphicRecord *graph = m_host.graphWindow())
        graph->expectPoints(expected);
    const QDateTime start = nowToTheSecond();
    txtStartTime->setText(formatRecordTime(start));
    m_startTime = start;
    // The recording runs CountRecordCount seconds, whatever the sample interval.
    txtEndTime->setText(formatRecordTime(start.addSecs(CountRecordCount)));
    m_reducer.reset();
    TimerRecordData.start();
    setRecordingControls(true);
    return std::nullopt;
}

void frmDataTable::EndRecordData(int /*index*/)
{
    stopRecording();
}

void frmDataTable::stopRecording()
{
    const bool wasRecording = TimerRecordData.isActive();
    TimerRecordData.stop();
    setRecordingControls(false);
    if (wasRecording)
        emit recordingStopped();
}

// Changing the filter or loading a record renumbers the grid's rows: not
// while rows are being added to it.
void frmDataTable::setRecordingControls(bool recording)
{
    CmbSample->setEnabled(!recording);
    cmdLoadRecord->setEnabled(!recording);
    // A record list left open would load over the rows being recorded.
    if (recording)
        List1->hide();
}

void frmDataTable::failRecording(const QString &description)
{
    TimerRecordData.stop();
    setRecordingControls(false);
    emit recordingStopped();
    platform::messageBox().show(description, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

void frmDataTable::TimerRecordData_Timer()
{
    // Seconds on a clock that does not wrap at midnight.
    const double tickTime = platform::clock().monotonicSec();
    if (const std::optional<QString> error = appendSample(tickTime)) {
        failRecording(*error);
        return;
    }
    --CountRecordCount;
    if (CountRecordCount < 0)
        stopRecording();
}

std::optional<QString> frmDataTable::appendSample(double tickTime)
{
    const Panel *panel = m_host.currentPanel();
    if (!panel)
        return QStringLiteral("No control panel is open.");
    const int channels = channelsShown();
    // A reading the instrument has not renewed for too long is a gap, not
    // the last value shown again.
    const int maxAgeMs = m_host.readingMaxAgeMs();
    const auto nowMs = static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
    const auto fresh = [&](int ch) {
        const qint64 at = panel->readingTimeMs(ch);
        return maxAgeMs <= 0 || (at >= 0 && nowMs - at <= maxAgeMs);
    };
    if (m_scale == 0) {
        for (int ch = 0; ch < channels; ++ch) {
            const bool isFresh = fresh(ch);
            m_boxV[static_cast<std::size_t>(ch)]->setText(isFresh ? panel->voltageText(ch) : QString());
            m_boxA[static_cast<std::size_t>(ch)]->setText(isFresh ? panel->currentText(ch) : QString());
        }
        return writeRow(tickTime);
    }

    for (int ch = 0; ch < channels; ++ch) {
        // A reading that is not a number is left out of the row: one garbled
        // reply must not end a recording that runs for days.
        QString bad;
        const bool isFresh = fresh(ch);
        if (!m_reducer.fold(ch, m_tickCounter, isFresh ? panel->voltageText(ch) : QString(),
                            isFresh ? panel->currentText(ch) : QString(), &bad) &&
            !bad.isEmpty())
            Trace(QStringLiteral("reading left out of the row: '") + bad + u'\'');
        m_boxV[static_cast<std::size_t>(ch)]->setText(m_reducer.voltage(ch));
        m_boxA[static_cast<std::size_t>(ch)]->setText(m_reducer.current(ch));
    }
    txtTick->setText(QString::number(m_tickCounter));
    txtTime->setText(formatRecordTime(QDateTime::currentDateTime()));
    if (m_tickCounter < m_limit) {
        ++m_tickCounter;
        return std::nullopt;
    }
    m_tickCounter = 0;
    std::optional<QString> error = writeRow(tickTime);
    m_reducer.reset();
    for (std::size_t ch = 0; ch < 3; ++ch) {
        m_boxV[ch]->setText("0");
        m_boxA[ch]->setText("0");
    }
    txtTick->setText("0");
    return error;
}

std::optional<QString> frmDataTable::writeRow(double tickTime)
{
    // Whole seconds since the first row, rounded once per row, so that the
    // differences add up to the elapsed time instead of drifting.
    qint64 diff = 0;
    if (!m_firstRowTime) {
        m_firstRowTime = tickTime;
        m_runningSeconds = 0;
    } else {
        const qint64 elapsed = std::llround(tickTime - *m_firstRowTime);
        diff = elapsed - m_runningSeconds;
        m_runningSeconds = elapsed;
    }

    RecordRow row;
    row.seqNo = iCurrentRow;
    row.recTime = formatRecordTime(m_startTime.addSecs(m_runningSeconds));
    for (std::size_t ch = 0; ch < 3; ++ch) {
        row.pval[ch] = m_boxV[ch]->text();
        row.sval[ch] = m_boxA[ch]->text();
    }
    row.reason = {QStringLiteral("Time"), QStringLiteral("1"), QStringLiteral("2")};
    row.comment = QLatin1String("");
    row.timeTick = m_runningSeconds;
    row.diffLastTime = diff;
    if (!m_records.addSample(row))
        return m_records.errorDescription();

    const PackedRecordRow packed(row);
    m_rows.append(packed);
    m_model->appendRow(packed);
    // Once the grid is full, the previous row goes to the top and the new one under it.
    if (iCurrentRow > m_visibleRows)
        scrollGridTo(m_model->rowCount() - 2);
    if (frmGraphicRecord *graph = m_host.graphWindow())
        graph->ShowGraph(row);
    ++iCurrentRow;
    return std::nullopt;
}

} // namespace qle
