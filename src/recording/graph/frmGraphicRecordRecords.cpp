// The graph recorder's buttons: the record commands of the main window, and
// save, load and delete of records in the record tables.
#include "frmGraphicRecord.h"

#include "GraphHost.h"
#include "GraphScales.h"
#include "GraphView.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "recording/database/SampleInterval.h"
#include "recording/table/frmDataTable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace qle {
namespace {

// Characters of the start time in a line of this window's record lists.
constexpr int ListStartWidth = 22;
// Positions whose time slice is short enough to keep a graph through Setup.
constexpr int LastKeptScale = 3;

const char *const NoOutput = "Plase Turn on Device into Output(Run) Mode";

IMessageBox::Answer ask(const QString &text)
{
    return platform::messageBox().show(text, QString(), IMessageBox::Buttons::YesNo, IMessageBox::Icon::Question);
}

// The record number on a line of a record list, empty for no line.
QString recordNumberAt(const QListWidget *list, int line)
{
    const QListWidgetItem *item = line >= 0 && line < list->count() ? list->item(line) : nullptr;
    return item ? RecordDatabase::recordNumberOfListLine(item->text()) : QString();
}

} // namespace

void frmGraphicRecord::showInformation(const QString &text)
{
    platform::messageBox().show(text, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Information);
}

void frmGraphicRecord::showSystemError(const QSqlError &error)
{
    const QString description = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    platform::messageBox().show("System Error caused by " + error.nativeErrorCode() + ":" + description, QString(),
                                IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

bool frmGraphicRecord::isRecording() const
{
    return m_table && m_table->isRecording();
}

void frmGraphicRecord::onRecordingStarted()
{
    m_loadedScale.reset();
    ClearGraph();
    cmdStart->setText("Record...");
    // Loading a record would replace the rows being recorded.
    cmdLoad->setEnabled(false);
    List1->hide();
}

void frmGraphicRecord::onRecordingStopped()
{
    cmdStart->setText("Start");
    cmdLoad->setEnabled(true);
}

void frmGraphicRecord::cmdStart_Click()
{
    if (!m_host.recordMenuEnabled()) {
        showInformation(NoOutput);
        return;
    }
    if (m_table && m_table->CountRecordCount > 0) {
        m_host.recordStart();
        return;
    }
    showInformation("Plase setup the time length of record first.");
    cmdPeriod_Click();
}

void frmGraphicRecord::cmdStop_Click()
{
    if (!m_host.recordMenuEnabled()) {
        showInformation(NoOutput);
        return;
    }
    m_host.recordStop();
}

// A short time slice that Setup leaves as it was keeps the graph; any other
// outcome clears it, since the time-length list may change.
void frmGraphicRecord::cmdPeriod_Click()
{
    if (lIdx > 0)
        showInformation("If you change record scale, system will reset display ");
    m_host.recordPeriod();
    m_loadedScale.reset();
    const int position = recordScale();
    const bool kept = position >= 0 && position <= LastKeptScale && iXTime == sampleinterval::seconds(position);
    if (!kept)
        ClearGraph();
}

void frmGraphicRecord::cmdReturn_Click()
{
    m_host.showControlPanel();
}

void frmGraphicRecord::cmdSave_Click()
{
    if (!m_table)
        return;
    qint64 count = 0;
    if (!m_records.countWorking(&count)) {
        showSystemError(m_records.lastError());
        return;
    }
    if (count == 0) {
        showInformation("You must do record data first and then try this function again.");
        return;
    }
    const QString recNo = m_table->txtRecno->text().trimmed();
    if (recNo.isEmpty()) {
        if (ask("Do you want to save current record?") != IMessageBox::Answer::Yes)
            return;
        RecordHeader header;
        header.startTime = m_table->txtStartTime->text();
        header.endTime = m_table->txtEndTime->text();
        header.comment = m_table->txtDataDesc->text();
        header.recStyle = m_table->rowsRecStyle();
        header.showStyle = QString::number(xLengthIndex());
        QString number;
        if (!m_records.saveRecord(header, &number)) {
            showSystemError(m_records.lastError());
            return;
        }
        m_table->txtRecno->setText(number);
        return;
    }
    if (ask("Do you want to replace existing data with current record?") != IMessageBox::Answer::Yes)
        return;
    if (!m_records.replaceRecord(recNo, m_table->txtDataDesc->text())) {
        showSystemError(m_records.lastError());
        m_table->forgetDeletedRecord(recNo);
    }
}

void frmGraphicRecord::fillRecordList(QListWidget *list)
{
    QList<RecordHeader> records;
    if (!m_records.listRecords(&records)) {
        showSystemError(m_records.lastError());
        return;
    }
    List1->hide();
    List2->hide();
    list->clear();
    for (const RecordHeader &record : records)
        list->addItem(RecordDatabase::listLine(record, ListStartWidth));
    list->show();
    list->raise();
}

void frmGraphicRecord::cmdLoad_Click()
{
    if (isRecording() || (m_table && !m_table->mayDiscardWorkingRows()))
        return;
    fillRecordList(List1);
}

void frmGraphicRecord::List1_Click(int line)
{
    const QString recNo = recordNumberAt(List1, line);
    List1->hide();
    if (recNo.isEmpty() || isRecording())
        return;
    std::optional<RecordHeader> header;
    if (!m_records.readHeader(recNo, &header)) {
        showSystemError(m_records.lastError());
        return;
    }
    if (!header)
        return;
    if (m_table)
        m_table->showRecordHeader(*header);
    if (!m_records.loadRecord(recNo)) {
        showSystemError(m_records.lastError());
        return;
    }
    if (m_table)
        m_table->CmbSample_Click();
    showLoadedRecord(recNo);
}

void frmGraphicRecord::showKeptRows(int scale)
{
    if (scale >= 0 && scale < sampleinterval::PositionCount)
        m_loadedScale = scale;
    ReDraw();
}

// Draws a record now in the working table with the time slice and time
// length it was saved with.
void frmGraphicRecord::showLoadedRecord(const QString &recNo)
{
    std::optional<RecordHeader> header;
    std::optional<int> length;
    if (!recNo.isEmpty() && m_records.readHeader(recNo, &header) && header) {
        bool ok = false;
        const int scale = header->recStyle.trimmed().toInt(&ok);
        if (ok && scale >= 0 && scale < sampleinterval::PositionCount)
            m_loadedScale = scale;
        if (!m_store.showStyle(recNo, &length))
            length.reset();
    }
    ReDraw();
    if (length && *length >= 0 && *length < cmbXLength->count()) {
        cmbXLength->setCurrentIndex(*length);
        CWGraph1->redrawNow();
    }
}

void frmGraphicRecord::cmdDel_Click()
{
    fillRecordList(List2);
}

void frmGraphicRecord::List2_Click(int line)
{
    const QString recNo = recordNumberAt(List2, line);
    List2->hide();
    if (recNo.isEmpty())
        return;
    std::optional<RecordHeader> header;
    if (!m_records.readHeader(recNo, &header)) {
        showSystemError(m_records.lastError());
        return;
    }
    if (!header)
        return;
    if (ask("Do you want to delete Record of [" + QStringLiteral("Rec No: ") + recNo +
            " Start Time:" + header->startTime + "]") != IMessageBox::Answer::Yes)
        return;
    if (!m_store.deleteRecord(recNo)) {
        showSystemError(m_store.lastError());
        return;
    }
    // The working rows are no longer that record: saving them makes a new one.
    if (m_table && m_table->txtRecno->text().trimmed() == recNo)
        m_table->txtRecno->clear();
}

} // namespace qle
