// Opening the panel the model needs, with its two recorder windows, and the
// panel's initial reading of every value.
#include "DataForm.h"
#include "dialogs/dlgQueryInitial.h"
#include "dialogs/dlgReadTimes.h"
#include "instrument/Instrument.h"
#include "MainMenu.h"
#include "MainToolbar.h"
#include "MDIForm1.h"
#include "panels/frmLayout1.h"
#include "panels/frmLayout2.h"
#include "panels/frmLayout3.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/Trace.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/frmDataTable.h"
#include "RecordingTimeline.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSqlDatabase>

namespace qle {

bool MDIForm1::SetupLayout()
{
    m_engine->SetupTimeoutTask(this, "OperationTimeout");
    const CatalogueRow *row = m_dataForm->findFirst(MachineType);
    const int layout = row ? row->layout() : 0;
    switch (layout) {
    case 1:
        NewLayout1();
        m_menu->ResetMenuLayout1();
        m_toolbar->ResetToolBarLayout1();
        break;
    case 2:
        NewLayout2();
        m_menu->ResetMenuLayout2();
        m_toolbar->ResetToolBarLayout2();
        break;
    case 3:
        NewLayout3();
        m_menu->ResetMenuLayout3();
        m_toolbar->ResetToolBarLayout3();
        break;
    default:
        // No panel for this model: the catalogue row is gone or names a layout
        // this program does not have.
        m_connectionFailure = "no control panel for " + MachineType;
        platform::messageBox().show("The model " + MachineType + " has no control panel (layout " +
                                        QString::number(layout) + ").",
                                    QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
        ResetAll();
        return false;
    }
    Panel *panel = currentPanel();
    panel->SetupLayout();
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(panel, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    sub->hide();
    sub->adjustSize();
    sub->move(0, 0);
    AdjustWindowSize();
    return true;
}

void MDIForm1::installPanel(Panel *panel, int layoutType)
{
    LayoutType = static_cast<qint16>(layoutType);
    m_instrument->useModel(MachineType, [this](const QString &mtype) { return m_dataForm->findFirst(mtype); });
    m_timeline->loadLimits(MachineType, m_instrument->channelCount());
    OperatorForm = panel;
    ResetTableandWave();
    NewTable1(static_cast<qint16>(panel->channelCount() - 1));
    NewWave1(static_cast<qint16>(panel->channelCount() - 1));
    if (frmDataTable *table = tableRecorder())
        showKeptRows(*table);
}

void MDIForm1::NewLayout1()
{
    installPanel(new frmLayout1(*this), 1);
}

void MDIForm1::NewLayout2()
{
    installPanel(new frmLayout2(*this), 2);
}

void MDIForm1::NewLayout3()
{
    installPanel(new frmLayout3(*this), 3);
}

void MDIForm1::ResetTableandWave()
{
    if (waveOperation1 && waveForm1)
        closeChild(waveForm1);
    if (tableOperation1 && tableDataForm1)
        closeChild(tableDataForm1);
    waveOperation1 = false;
    tableOperation1 = false;
}

void MDIForm1::NewTable1(qint16 idx)
{
    auto *table = new frmDataTable(*this, QSqlDatabase::database(DataForm::ConnectionName));
    table->ContrlIdx = idx;
    m_mdiArea->addSubWindow(table)->installEventFilter(this);
    table->parentWidget()->hide();
    tableOperation1 = true;
    tableDataForm1 = table;
    connect(table, &frmDataTable::recordingStarted, this, &MDIForm1::restartLivePolling);
    m_timeline->attachTable(table);
    connect(table, &frmDataTable::markRequested, this, &MDIForm1::mnuRecordMark_Click);
    // The record settings confirmed earlier hold for every connection.
    if (m_recordSetupConfirmed)
        applyRecordSetup(*table);
}

void MDIForm1::NewWave1(qint16 idx)
{
    auto *wave = new frmGraphicRecord(*this, QSqlDatabase::database(DataForm::ConnectionName));
    wave->txtChannels->setText(QString::number(idx + 1));
    wave->setTableRecorder(tableRecorder());
    m_mdiArea->addSubWindow(wave)->installEventFilter(this);
    wave->parentWidget()->hide();
    waveOperation1 = true;
    waveForm1 = wave;
    // The recording's events, totals and limits on the graph.
    const auto showTimeline = [this, wave] {
        wave->showTimeline(m_timeline->shownEvents(), m_timeline->currentTotals());
    };
    connect(m_timeline.get(), &RecordingTimeline::shownChanged, wave, showTimeline);
    connect(m_timeline.get(), &RecordingTimeline::eventAdded, wave, showTimeline);
    connect(&m_timeline->energy(), &EnergyCounter::totalsChanged, wave, showTimeline);
    const auto showLimits = [this, wave] { wave->showLimits(m_timeline->limitLines()); };
    connect(m_timeline.get(), &RecordingTimeline::limitsChanged, wave, showLimits);
    showLimits();
    showTimeline();
}

bool MDIForm1::QueryInitialValues()
{
    bool result = false;
    if (isInstrumentLink()) {
        IsSuspendOutput = true;
        IsQueryInitialValues = true;
        if (Panel *panel = currentPanel())
            result = panel->QueryInitialValues();
        IsQueryInitialValues = false;
        IsSuspendOutput = false;
    }
    return result;
}

frmGraphicRecord *MDIForm1::graphWindow() const
{
    return qobject_cast<frmGraphicRecord *>(waveForm1.data());
}

bool MDIForm1::recordMenuEnabled() const
{
    return m_menu->mnuRecord->menuAction()->isEnabled();
}

int MDIForm1::recordScaleSetting() const
{
    return platform::settings().GetInt("RECORDPERIOD", "RecScale", 0, 0, 9);
}

bool MDIForm1::runQueryInitialDialog()
{
    return queryInitialDialog().Execute();
}

int MDIForm1::readTimesSetting() const
{
    auto &dialog = const_cast<MDIForm1 *>(this)->readTimesDialog();
    dialog.GetSettings();
    return dialog.ReadTimes();
}

} // namespace qle
