// The table recorder's records: the grid's filter and comments, and Save,
// Load and Clear on the record tables.
#include "frmDataTable.h"

#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "RecorderHost.h"
#include "recording/graph/frmGraphicRecord.h"
#include "RecordTableModel.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>

namespace qle {
namespace {

// The table's texts of a row are packed in their order.
static_assert(int{WorkingRowView::TextCount} == PackedRecordRow::TextCount, "the texts of a row in one order");

// Characters of the start time in a line of this window's record list: all
// of "2024/03/01 10:00:00".
constexpr int ListStartWidth = 19;

IMessageBox::Answer ask(const QString &text)
{
    return platform::messageBox().show(text, QString(), IMessageBox::Buttons::YesNo, IMessageBox::Icon::Question);
}

// The filter entries in list order.
ReasonFilter filterAt(int entry)
{
    switch (entry) {
    case 1:
        return ReasonFilter::Time;
    case 2:
        return ReasonFilter::AboveUpper;
    case 3:
        return ReasonFilter::BelowLower;
    case 4:
        return ReasonFilter::ConditionMet;
    default:
        return ReasonFilter::All;
    }
}

} // namespace

void frmDataTable::ClearData()
{
    m_rows.clear();
    rebuildHeader();
    iCurrentRow = 0;
    m_tickCounter = 0;
    m_commentRow = -1;
    pnlDataComment->hide();
    if (!m_records.clearWorking())
        showError();
    txtRecno->clear();
    txtDataDesc->clear();
    txtStartTime->clear();
    txtEndTime->clear();
    CmbSample->setCurrentIndex(0);
    m_runningSeconds = 0;
    m_firstRowTime.reset();
}

bool frmDataTable::mayDiscardWorkingRows()
{
    qint64 count = 0;
    if (!m_records.unsavedWorkingRows(&count)) {
        showError();
        return false;
    }
    if (count == 0)
        return true;
    return platform::messageBox().show("The current recording has not been saved. Discard it?", QString(),
                                       IMessageBox::Buttons::YesNo,
                                       IMessageBox::Icon::Information) == IMessageBox::Answer::Yes;
}

int frmDataTable::showUnsavedRows()
{
    qint64 count = 0;
    if (!m_records.unsavedWorkingRows(&count) || count == 0)
        return 0;
    CmbSample_Click();
    const int shown = m_model->rowCount();
    if (shown == 0)
        return 0;
    txtRecno->clear();
    txtDataDesc->clear();
    txtStartTime->setText(m_model->row(0).recTime().trimmed());
    txtEndTime->setText(m_model->row(shown - 1).recTime().trimmed());
    const int scale = platform::settings().GetInt("RECORDPERIOD", "WorkingRecScale", -1, -1, 9);
    m_rowsRecStyle = scale < 0 ? QString() : QString::number(scale);
    return shown;
}

void frmDataTable::showRecordHeader(const RecordHeader &header)
{
    txtRecno->setText(header.recNo);
    txtStartTime->setText(header.startTime);
    txtEndTime->setText(header.endTime);
    txtDataDesc->setText(header.comment);
    m_rowsRecStyle = header.recStyle.trimmed();
}

QString frmDataTable::rowsRecStyle() const
{
    return m_rowsRecStyle.isEmpty() ? QString::number(m_host.recordScaleSetting()) : m_rowsRecStyle;
}

const PackedRecordRow *frmDataTable::recordedRow(qint32 index) const
{
    return index >= 0 && index < m_rows.size() ? &m_rows.at(index) : nullptr;
}

QString frmDataTable::GetValuePrimary(qint32 index) const
{
    const PackedRecordRow *row = recordedRow(index);
    return row ? row->pval(0) : QString();
}

QString frmDataTable::GetValueSecond(qint32 index) const
{
    const PackedRecordRow *row = recordedRow(index);
    return row ? row->sval(0) : QString();
}

QString frmDataTable::GetDate(qint32 index) const
{
    const PackedRecordRow *row = recordedRow(index);
    return row ? row->recTime() : QString();
}

void frmDataTable::RowSelected(qint32 index)
{
    if (index < 0 || index >= iCurrentRow || index >= m_model->rowCount())
        return;
    m_model->setSelectedRow(index);
    // The highlighted row comes third from the top, when there are rows above it.
    scrollGridTo(std::max(0, index - 3));
}

void frmDataTable::CmbSample_Click()
{
    if (isRecording())
        return;
    rebuildHeader();
    const ReasonFilter filter = filterAt(CmbSample->currentIndex());
    const QString label = RecordDatabase::reasonLabel(RecordDatabase::reasonCode(filter));
    // Packed as they are read, from the bytes the table holds: a day of
    // rows is never held unpacked. The list is sized once, since each
    // doubling would leave the last one's megabytes behind in the heap.
    QList<PackedRecordRow> packed;
    qint64 count = 0;
    if (!m_records.countWorking(&count)) {
        showError();
        return;
    }
    packed.reserve(static_cast<qsizetype>(count));
    // Every row read here is the graph's whole read too: its next ReDraw
    // reads none of them again.
    frmGraphicRecord *graph = filter == ReasonFilter::All ? m_host.graphWindow() : nullptr;
    std::optional<GraphRecordStore::WholeRead> graphRead =
        graph ? graph->wholeReadFor(m_records.connection()) : std::nullopt;
    if (graphRead)
        graphRead->reserve(static_cast<qsizetype>(count));
    const QByteArray reason = label.toUtf8();
    if (!m_records.readWorkingRows(filter, [&](const WorkingRowView &row) {
            std::array<QByteArrayView, PackedRecordRow::TextCount> texts = row.texts;
            texts[WorkingRowView::Reason] = reason;
            packed.append(PackedRecordRow(row.seqNo, row.timeTick, row.diffLastTime, texts));
            if (graphRead)
                graphRead->add(row);
        })) {
        showError();
        return;
    }
    if (graphRead)
        graphRead->finish();
    packed.squeeze();
    iCurrentRow = static_cast<qint32>(packed.size());
    m_model->setRows(std::move(packed));
}

// Comments belong to the last column, whatever the number of channels.
void frmDataTable::grdHelQuest_Click(int row, int column)
{
    if (row < 0 || row >= m_model->rowCount() || column != m_model->commentColumn())
        return;
    m_commentRow = row;
    txtDataComment->setText(m_model->row(row).comment());
    pnlDataComment->show();
    pnlDataComment->raise();
    txtDataComment->setFocus();
}

void frmDataTable::cmdProcOK_Click()
{
    pnlDataComment->hide();
    if (m_commentRow < 0 || m_commentRow >= m_model->rowCount())
        return;
    const QString comment = txtDataComment->text();
    m_model->setComment(m_commentRow, comment);
    if (!m_records.setRowComment(m_model->row(m_commentRow).recTime().trimmed(), comment))
        showSystemError();
}

void frmDataTable::cmdProcCancel_Click()
{
    pnlDataComment->hide();
}

void frmDataTable::cmdSave_Click()
{
    qint64 count = 0;
    if (!m_records.countWorking(&count)) {
        showSystemError();
        return;
    }
    if (count == 0) {
        platform::messageBox().show("You need do record first and then try this again!", QString(),
                                    IMessageBox::Buttons::Ok, IMessageBox::Icon::Information);
        return;
    }
    const bool isNew = txtRecno->text().trimmed().isEmpty();
    if (ask(isNew ? "Do you want to save this record data?" : "Do you replace existing data with current record?") !=
        IMessageBox::Answer::Yes)
        return;
    const Saved saved = saveRows(txtDataDesc->text());
    if (!saved.error.isEmpty())
        platform::messageBox().show(saved.error, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

frmDataTable::Saved frmDataTable::saveRows(const QString &comment)
{
    qint64 count = 0;
    if (!m_records.countWorking(&count))
        return {{}, systemErrorText()};
    if (count == 0)
        return {{}, QStringLiteral("You need do record first and then try this again!")};
    txtDataDesc->setText(comment);
    const QString loaded = txtRecno->text().trimmed();
    if (!loaded.isEmpty()) {
        if (!m_records.replaceRecord(loaded, comment)) {
            const QString error = systemErrorText();
            forgetDeletedRecord(loaded);
            return {{}, error};
        }
        emit recordSaved(loaded);
        return {loaded, {}};
    }
    RecordHeader header;
    header.startTime = txtStartTime->text();
    header.endTime = txtEndTime->text();
    header.comment = comment;
    header.recStyle = rowsRecStyle();
    const frmGraphicRecord *graph = m_host.graphWindow();
    header.showStyle = QString::number(graph ? graph->xLengthIndex() : 0);
    QString recNo;
    if (!m_records.saveRecord(header, &recNo))
        return {{}, systemErrorText()};
    // The number is shown once the record is there, so a failed save is not "replaced" later.
    txtRecno->setText(recNo);
    emit recordSaved(recNo);
    return {recNo, {}};
}

void frmDataTable::forgetDeletedRecord(const QString &recNo)
{
    std::optional<RecordHeader> header;
    if (m_records.readHeader(recNo, &header) && !header)
        txtRecno->clear();
}

void frmDataTable::cmdLoadRecord_Click()
{
    if (isRecording() || !mayDiscardWorkingRows())
        return;
    QList<RecordHeader> records;
    if (!m_records.listRecords(&records)) {
        showError();
        return;
    }
    List1->clear();
    for (const RecordHeader &record : records)
        List1->addItem(RecordDatabase::listLine(record, ListStartWidth));
    List1->show();
    List1->raise();
}

void frmDataTable::List1_Click(int line)
{
    if (isRecording() || line < 0 || line >= List1->count()) {
        List1->hide();
        return;
    }
    const QString recNo = RecordDatabase::recordNumberOfListLine(List1->item(line)->text());
    List1->hide();
    // Asked when the list was opened.
    const std::optional<QString> error = loadRecord(recNo, UnsavedRows::Discard);
    if (error && !error->isEmpty() && *error != QLatin1String("no such record"))
        platform::messageBox().show(*error, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

std::optional<QString> frmDataTable::loadRecord(const QString &recNo, UnsavedRows unsaved)
{
    if (isRecording())
        return QStringLiteral("recording: stop it first");
    if (unsaved == UnsavedRows::Ask && !mayDiscardWorkingRows())
        return QString();
    if (unsaved == UnsavedRows::Keep) {
        qint64 count = 0;
        if (!m_records.unsavedWorkingRows(&count))
            return errorText();
        if (count > 0)
            return QStringLiteral("unsaved recording");
    }
    std::optional<RecordHeader> header;
    if (!m_records.readHeader(recNo, &header))
        return errorText();
    if (!header)
        return QStringLiteral("no such record");
    showRecordHeader(*header);
    if (!m_records.loadRecord(txtRecno->text()))
        return errorText();
    CmbSample_Click();
    emit recordLoaded();
    return std::nullopt;
}

void frmDataTable::cmdClear_Click()
{
    qint64 count = 0;
    if (!m_records.countWorking(&count)) {
        showError();
        return;
    }
    if (count > 0 && ask("Do you want to clear all of data records?") != IMessageBox::Answer::Yes)
        return;
    ClearData();
}

void frmDataTable::cmdGenerate_Click()
{
    if (!m_records.generateSampleData())
        showError();
}

void frmDataTable::cmdGenerateMin_Click()
{
    if (!m_records.generateSampleDataMin())
        showError();
}

QString frmDataTable::systemErrorText() const
{
    return "System Error caused by " + m_records.errorNumber() + ":" + m_records.errorDescription();
}

QString frmDataTable::errorText() const
{
    const QString number = m_records.errorNumber();
    return number.isEmpty() ? m_records.errorDescription() : number + ":" + m_records.errorDescription();
}

void frmDataTable::showSystemError()
{
    platform::messageBox().show(systemErrorText(), QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

void frmDataTable::showError()
{
    platform::messageBox().show(errorText(), QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

} // namespace qle
