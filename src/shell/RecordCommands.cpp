// The Action > Record commands, forwarded to the table recorder.
#include "MDIForm1.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/widgets/ModalRunner.h"
#include "recording/database/SampleInterval.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/dlgRecordLength.h"
#include "recording/table/frmDataTable.h"
#include "RecordingTimeline.h"

#include <QInputDialog>

namespace qle {

frmDataTable *MDIForm1::tableRecorder() const
{
    return tableOperation1 ? qobject_cast<frmDataTable *>(tableDataForm1.data()) : nullptr;
}

dlgRecordLength &MDIForm1::recordLengthDialog()
{
    if (!m_dlgRecordLength)
        m_dlgRecordLength = std::make_unique<dlgRecordLength>(this);
    return *m_dlgRecordLength;
}

void MDIForm1::applyRecordSetup(frmDataTable &table)
{
    const dlgRecordLength &setup = recordLengthDialog();
    table.RecordPeriod(static_cast<qint16>(setup.Days), static_cast<qint16>(setup.Hours),
                       static_cast<qint16>(setup.Miniutes), static_cast<qint16>(setup.Seconds),
                       static_cast<qint16>(setup.RecScale), static_cast<qint16>(setup.RecPointStyle));
}

QString MDIForm1::setupRecording(int days, int hours, int minutes, int seconds, int scale, int pointStyle)
{
    if (MainFormState != 3)
        return "no panel";
    if (days < 0 || days > 7 || hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 55 ||
        seconds % 5 != 0 || scale < 0 || scale >= sampleinterval::PositionCount || pointStyle < 0 || pointStyle > 2)
        return "out of range: days 0-7, hours 0-23, minutes 0-59, seconds 0-55 in fives, scale 0-" +
               QString::number(sampleinterval::PositionCount - 1) + ", mode 0-2";
    if (days == 0 && hours == 0 && minutes == 0 && seconds == 0)
        return "a recording needs a length";
    if (const QString refusal = dlgRecordLength::lengthRefusal(days, scale); !refusal.isEmpty())
        return refusal;
    dlgRecordLength &setup = recordLengthDialog();
    setup.GetSettings();
    setup.Days = days;
    setup.Hours = hours;
    setup.Miniutes = minutes;
    setup.Seconds = seconds;
    setup.RecScale = scale;
    setup.RecPointStyle = pointStyle;
    setup.SetSettings();
    m_recordSetupConfirmed = true;
    if (frmDataTable *table = tableRecorder())
        applyRecordSetup(*table);
    return {};
}

void MDIForm1::mnuRecordStart_Click()
{
    frmDataTable *table = tableRecorder();
    if (!table)
        return;
    if (table->CountRecordCount > 0)
        table->BeginRecordData();
    else
        platform::messageBox().show("Please Setup Record the period first.", QString(), IMessageBox::Buttons::Ok,
                                    IMessageBox::Icon::Information);
}

void MDIForm1::mnuRecordStop_Click()
{
    if (frmDataTable *table = tableRecorder())
        table->EndRecordData(0);
}

void MDIForm1::mnuRecordMark_Click()
{
    if (!m_timeline->events().isRunning()) {
        ReportStatus("Marks go on a running recording", 5000);
        return;
    }
    QInputDialog dialog(this);
    dialog.setObjectName("dlgMark");
    dialog.setWindowTitle("Mark");
    dialog.setLabelText("Note on the recording's timeline:");
    if (platform::modalRunner().exec(dialog) != QDialog::Accepted || dialog.textValue().trimmed().isEmpty())
        return;
    m_timeline->mark(dialog.textValue().trimmed());
}

void MDIForm1::mnuRecordPeriod_Click()
{
    if (MainFormState != 3)
        return;
    dlgRecordLength &dialog = recordLengthDialog();
    if (!dialog.Execute())
        return;
    m_recordSetupConfirmed = true;
    if (frmDataTable *table = tableRecorder())
        applyRecordSetup(*table);
    if (frmGraphicRecord *graph = graphWindow())
        graph->ChangeCursorColor(dialog.txtCh1Color(), dialog.txtCh2Color(), dialog.txtCh3Color());
}

void MDIForm1::mnuRecordSave_Click()
{
    if (frmDataTable *table = tableRecorder())
        table->cmdSave_Click();
}

void MDIForm1::mnuRecordLoad_Click()
{
    if (frmDataTable *table = tableRecorder())
        table->cmdLoadRecord_Click();
}

} // namespace qle
