// Operations on the instrument as a whole: output, coupling, auto-run, delay,
// polling limit, memories and protection clearing. Every change, whether the
// user's or the instrument's reply, goes through the same routine so that
// menus, toolbar and panel agree.
#include "dialogs/dlgAutoMode.h"
#include "dialogs/dlgDelay.h"
#include "dialogs/dlgReadTimes.h"
#include "dialogs/dlgRecallData.h"
#include "dialogs/dlgSaveData.h"
#include "instrument/Instrument.h"
#include "MainMenu.h"
#include "MainToolbar.h"
#include "MDIForm1.h"
#include "panels/Panel.h"
#include "protocol/Commands.h"
#include "protocol/DeviceCommands.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace qle {
namespace {

// What the model refused to send (a lost link, a locked field) is told on
// the status line; what the instrument refuses, polling finds.
OutcomeHandler refusalToStatus(MDIForm1 *window)
{
    return [self = QPointer<MDIForm1>(window)](const Outcome &outcome) {
        if (self && outcome.kind == Outcome::Kind::Refused)
            self->ReportStatus("Not sent: " + outcome.text, 5000);
    };
}

} // namespace

CommandFamily MDIForm1::family() const
{
    return familyFor(MachineType);
}

QString MDIForm1::errorQueueQuery() const
{
    return family() == CommandFamily::Colon ? m_commands.query(query::Error) : QString();
}

void MDIForm1::queueDeviceCommand(const QString &text)
{
    m_engine->ExecCmdTask(text, 0, this, QString(), 1, false);
}

void MDIForm1::DoOutput(bool value)
{
    if (MainFormState != 3)
        return;
    if (m_followingInstrument) {
        showOutputState(value);
        m_instrument->noteOutput(value, ChangeSource::Instrument);
        return;
    }
    showOutputState(value);
    m_instrument->setOutput(value, changeSource(), refusalToStatus(this), Instrument::ErrorCheck::ByPolling);
    CheckOutput();
}

// A reply of the initial read tells the instrument's state; anything else
// done here comes from a person or a script.
ChangeSource MDIForm1::changeSource() const
{
    return IsQueryInitialValues ? ChangeSource::Instrument : ChangeSource::User;
}

void MDIForm1::showOutputState(bool value)
{
    m_menu->mnuRecord->menuAction()->setEnabled(value);
    m_toolbar->setPressed("Output", value);
    if (Panel *panel = currentPanel()) {
        panel->setOutputValue(value);
        panel->IsOutput = value;
    }
    m_menu->mnuOutput->setChecked(value);
}

bool MDIForm1::outputOn() const
{
    return m_menu->mnuOutput->isChecked();
}

bool MDIForm1::autoRunOn() const
{
    return m_menu->mnuAutoRun->isChecked();
}

void MDIForm1::followOutput(bool on)
{
    if (MainFormState != 3)
        return;
    showOutputState(on);
    m_instrument->noteOutput(on, ChangeSource::Instrument);
    CheckOutput();
    if (!on)
        ReportStatus("Output switched off by the instrument", 5000);
}

void MDIForm1::CheckOutput()
{
    if (MainFormState != 3 || IsSuspendOutput)
        return;
    Panel *panel = currentPanel();
    if (CommType == QLatin1String("Menu")) {
        if (panel)
            panel->SetOutputOffDisplay();
        return;
    }
    if (isInstrumentLink()) {
        if (m_menu->mnuOutput->isChecked()) {
            if (!m_polling.live || !QueryTimer.isActive())
                QueryTimer.start();
            m_engine->pollingStarted();
            return;
        }
        // Live keeps asking for the instrument's state with the output off.
        if (m_polling.live) {
            if (!QueryTimer.isActive())
                QueryTimer.start();
        } else {
            QueryTimer.stop();
        }
        m_engine->ResetQueryTasks();
        if (panel)
            panel->SetOutputOffDisplay();
    }
}

void MDIForm1::ToggleOutput()
{
    DoOutput(!m_menu->mnuOutput->isChecked());
}

void MDIForm1::mnuOutput_Click()
{
    ToggleOutput();
}

void MDIForm1::DoAutoRun(bool value)
{
    if (MainFormState != 3)
        return;
    if (m_followingInstrument) {
        followAutoRun(value);
        return;
    }
    queueDeviceCommand(AutoRunCommand(value));
    m_instrument->noteAutoRun(value, changeSource());
    showAutoRunState(value, true);
}

void MDIForm1::followAutoRun(bool on)
{
    if (MainFormState != 3)
        return;
    // What the instrument reports is shown; nothing is sent back.
    m_instrument->noteAutoRun(on, ChangeSource::Instrument);
    showAutoRunState(on, false);
}

void MDIForm1::showAutoRunState(bool value, bool resendCoupling)
{
    Panel *panel = currentPanel();
    if (value) {
        if (panel)
            panel->SetAutoRunDisableMode();
    } else if (panel) {
        panel->SetAllEnabled();
        if (resendCoupling)
            panel->SetOutputModeEnabled();
        else if (const std::optional<Coupling> coupling = panel->couplingShown())
            showCoupling(*coupling);
    }
    m_toolbar->setPressed("AutoRun", value);
    if (Panel *current = currentPanel())
        current->setAutoRunValue(value);
    m_menu->mnuAutoRun->setChecked(value);
}

void MDIForm1::ToggleAutoRun()
{
    DoAutoRun(!m_menu->mnuAutoRun->isChecked());
}

void MDIForm1::mnuAutoRun_Click()
{
    ToggleAutoRun();
}

void MDIForm1::SetMenuOutputModeAllUnchecked()
{
    m_menu->SetMenuOutputModeAllUnchecked();
    if (Panel *panel = currentPanel())
        panel->SetAllEnabled();
}

void MDIForm1::applyCoupling(Coupling coupling)
{
    if (MainFormState != 3)
        return;
    if (m_followingInstrument) {
        followCoupling(coupling);
        return;
    }
    m_instrument->setCoupling(coupling, changeSource(), refusalToStatus(this), Instrument::ErrorCheck::ByPolling);
    if (!IsQueryInitialValues)
        m_engine->ResetQueryTasks();
    showCoupling(coupling);
}

void MDIForm1::followCoupling(Coupling coupling)
{
    if (MainFormState != 3)
        return;
    m_instrument->noteCoupling(coupling, ChangeSource::Instrument);
    showCoupling(coupling);
}

void MDIForm1::showCoupling(Coupling coupling)
{
    SetMenuOutputModeAllUnchecked();
    QAction *item = coupling == Coupling::Independent ? m_menu->mnuIndep
                    : coupling == Coupling::Parallel  ? m_menu->mnuParallel
                                                      : m_menu->mnuTrack;
    item->setChecked(true);
    Panel *panel = currentPanel();
    if (!panel)
        return;
    if (coupling == Coupling::Parallel)
        panel->SetParallelDisableMode();
    else if (coupling == Coupling::Track)
        panel->SetTrackDisableMode();
    panel->selectCoupling(coupling);
}

void MDIForm1::mnuIndep_Click()
{
    applyCoupling(Coupling::Independent);
}

void MDIForm1::mnuParallel_Click()
{
    applyCoupling(Coupling::Parallel);
}

void MDIForm1::mnuTrack_Click()
{
    applyCoupling(Coupling::Track);
}

void MDIForm1::mnuAutoMode_Click()
{
    if (MainFormState != 3)
        return;
    dlgAutoMode &dialog = autoModeDialog();
    // The link may have been lost while the dialog was open.
    if (!dialog.Execute() || MainFormState != 3)
        return;
    queueDeviceCommand(AutoStartMemoryCommand(dialog.StartMemory()));
    queueDeviceCommand(AutoEndMemoryCommand(dialog.EndMemory()));
    queueDeviceCommand(AutoCycleCommand(dialog.Cycle()));
    if (Panel *panel = currentPanel())
        panel->QuerySECMemory();
}

void MDIForm1::mnuDelay_Click()
{
    if (MainFormState != 3)
        return;
    dlgDelay &dialog = delayDialog();
    // The link may have been lost while the dialog was open.
    if (!dialog.Execute() || MainFormState != 3)
        return;
    queueDeviceCommand(AutoDelayCommand(QString::number(dialog.Delay())));
    if (Panel *panel = currentPanel())
        panel->QueryDelay();
}

void MDIForm1::mnuReadTimes_Click()
{
    dlgReadTimes &dialog = readTimesDialog();
    if (!dialog.Execute())
        return;
    m_engine->QueryCmdMaxMsec = static_cast<qint16>(dialog.ReadTimes() * 1000);
}

void MDIForm1::mnuClearErrorOfProtection_Click()
{
    if (MainFormState != 3)
        return;
    queueDeviceCommand(ClearProtectionCommand());
}

void MDIForm1::mnuSaveMemory_Click()
{
    if (MainFormState != 3)
        return;
    dlgSaveData &dialog = saveDataDialog();
    // The link may have been lost while the dialog was open.
    if (!dialog.Execute() || MainFormState != 3)
        return;
    m_instrument->saveMemory(dialog.Memory(), ChangeSource::User, refusalToStatus(this),
                             Instrument::ErrorCheck::ByPolling);
    if (Panel *panel = currentPanel())
        panel->QueryMemory();
}

void MDIForm1::mnuRecallMemory_Click()
{
    RecallTimer.start();
}

void MDIForm1::RecallTimer_Timer()
{
    RecallTimer.stop();
    RecallMemory2();
}

void MDIForm1::RecallMemory2()
{
    if (MainFormState != 3)
        return;
    dlgRecallData &dialog = recallDataDialog();
    if (!dialog.Execute() || MainFormState != 3)
        return;
    DoOutput(false);
    QueryTimer.stop();
    if (m_engine->ClearAllTasks()) {
        m_instrument->recallMemory(dialog.Memory(), ChangeSource::User, refusalToStatus(this),
                                   Instrument::ErrorCheck::ByPolling);
        QueryInitialValues();
    }
    // The re-read may have reset the connection (cancelled, timed out).
    if (MainFormState != 3)
        return;
    if (m_menu->mnuOutput->isChecked())
        QueryTimer.start();
    else
        QueryTimer.stop();
    CheckOutput();
    if (Panel *panel = currentPanel())
        panel->QueryMemory();
}

} // namespace qle
