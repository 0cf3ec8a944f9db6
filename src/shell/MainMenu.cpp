#include "MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace qle {
namespace {

QAction *addItem(QMenu *menu, const char *caption, const char *name, bool checkable = false)
{
    QAction *action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    return action;
}

QMenu *addSubmenu(QMenu *parent, const char *caption, const char *name)
{
    QMenu *menu = parent->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

void setEnabled(std::initializer_list<QAction *> actions, bool enabled)
{
    for (QAction *action : actions)
        action->setEnabled(enabled);
}

} // namespace

MainMenu::MainMenu(QMenuBar *bar, QObject *parent) : QObject(parent)
{
    QMenu *file = bar->addMenu("&File");
    mnuUnattended = addItem(file, "&Unattended...", "mnuUnattended");
    file->addSeparator();
    mnuExit = addItem(file, "E&xit", "mnuExit");

    QMenu *interface = bar->addMenu("&Interface");
    mnuGPIB = addItem(interface, "&GPIB...", "mnuGPIB", true);
    mnuRS232 = addItem(interface, "&RS232...", "mnuRS232", true);
    mnuUSB = addItem(interface, "&USB...", "mnuUSB");
    mnuLan = addItem(interface, "&LAN (TCP)...", "mnuLan", true);
    mnuDepart = addSubmenu(interface, "&Depart", "mnuDepart");
    mnuKMC = addSubmenu(mnuDepart, "KMC", "mnuKMC");
    mnuKMA = addSubmenu(mnuDepart, "KMA", "mnuKMA");
    mnuKMB = addSubmenu(mnuDepart, "KMB", "mnuKMB");
    mnuQLE = addSubmenu(mnuDepart, "QLE", "mnuQLE");
    // Item 0 of each family exists from the start, as a placeholder until the
    // catalogue names a model for it.
    mnuKMCItem.append(addItem(mnuKMC, "", "mnuKMCItem", true));
    mnuKMAItem.append(addItem(mnuKMA, "", "mnuKMAItem", true));
    mnuKMBItem.append(addItem(mnuKMB, "", "mnuKMBItem", true));
    mnuQLEItem.append(addItem(mnuQLE, "", "mnuQLEItem", true));
    interface->addSeparator();
    mnuTerminal = addItem(interface, "&Terminal...", "mnuTerminal");

    QMenu *function = bar->addMenu("F&unction");
    mnuSaveMemory = addItem(function, "&Save Memory", "mnuSaveMemory");
    mnuRecallMemory = addItem(function, "&Recall Memory", "mnuRecallMemory");
    function->addSeparator();
    mnuDelay = addItem(function, "&Delay", "mnuDelay");
    function->addSeparator();
    mnuReadTimes = addItem(function, "Read &Times", "mnuReadTimes");
    mnuPolling = addItem(function, "&Polling...", "mnuPolling");
    function->addSeparator();
    mnuSequence = addItem(function, "Se&quence...", "mnuSequence");
    mnuLimits = addItem(function, "&Limits...", "mnuLimits");

    QMenu *action = bar->addMenu("&Action");
    mnuOutMode = addSubmenu(action, "Out &Mode", "mnuOutMode");
    mnuIndep = addItem(mnuOutMode, "&INDEP", "mnuIndep", true);
    mnuIndep->setChecked(true);
    mnuParallel = addItem(mnuOutMode, "&PARALLEL", "mnuParallel", true);
    mnuTrack = addItem(mnuOutMode, "&TRACK", "mnuTrack", true);
    mnuAutoMode = addItem(action, "&Auto Mode...", "mnuAutoMode");
    mnuOutput = addItem(action, "&Output", "mnuOutput", true);
    mnuAutoRun = addItem(action, "Auto &Run", "mnuAutoRun", true);
    mnuClearErrorOfProtection = addItem(action, "&Clear Error of Protection", "mnuClearErrorOfProtection");
    mnuRecord = addSubmenu(action, "&Record", "mnuRecord");
    mnuRecordStart = addItem(mnuRecord, "&Start", "mnuRecordStart");
    mnuRecordStop = addItem(mnuRecord, "S&top", "mnuRecordStop");
    mnuRecordMark = addItem(mnuRecord, "&Mark...", "mnuRecordMark");
    mnuRecordMark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    mnuRecordMark->setShortcutContext(Qt::ApplicationShortcut);
    mnuRecordPeriod = addItem(mnuRecord, "Set&up", "mnuRecordPeriod");
    mnuRecordSave = addItem(mnuRecord, "S&ave", "mnuRecordSave");
    mnuRecordLoad = addItem(mnuRecord, "&Load", "mnuRecordLoad");

    QMenu *view = bar->addMenu("&View");
    mnuControl = addItem(view, "&Control", "mnuControl");
    mnuWave = addItem(view, "&Wave", "mnuWave");
    mnuTableData = addItem(view, "T&abular Data", "mnuTableData");
    mnuTableData->setEnabled(false);
    mnuToolbar = addItem(view, "&Toolbar", "mnuToolbar", true);
    mnuToolbar->setChecked(true);
    mnuStatusbar = addItem(view, "&Status Bar", "mnuStatusbar", true);
    mnuStatusbar->setChecked(true);
    mnuNormalSize = addItem(view, "&Normal Size", "mnuNormalSize");
    mnuNormalSize->setEnabled(false);

    QMenu *help = bar->addMenu("&Help");
    mnuAboutKMAx = addItem(help, "&About QLE...", "mnuAboutKMAx");
    mnuDebug = addItem(help, "Debug", "mnuDebug");
    mnuDebug->setEnabled(false);
}

void MainMenu::SetMenuOutputModeAllUnchecked()
{
    mnuIndep->setChecked(false);
    mnuParallel->setChecked(false);
    mnuTrack->setChecked(false);
}

void MainMenu::resetCommon()
{
    SetMenuOutputModeAllUnchecked();
    mnuIndep->setChecked(true);
    mnuRS232->setChecked(false);
    mnuGPIB->setChecked(false);
    mnuLan->setChecked(false);
    mnuRS232->setEnabled(true);
    mnuLan->setEnabled(true);
}

void MainMenu::ResetMenu()
{
    resetCommon();
    mnuGPIB->setEnabled(true);
    setEnabled({mnuSaveMemory, mnuRecallMemory, mnuDelay, mnuIndep, mnuParallel, mnuTrack, mnuAutoMode,
                mnuOutMode->menuAction(), mnuAutoRun, mnuOutput, mnuClearErrorOfProtection, mnuControl, mnuTableData,
                mnuWave, mnuRecord->menuAction()},
               false);
}

void MainMenu::applyLayout(const LayoutStates &states)
{
    resetCommon();
    mnuGPIB->setEnabled(states.gpib);
    setEnabled({mnuSaveMemory, mnuRecallMemory, mnuDelay}, states.memoryAndDelay);
    mnuReadTimes->setEnabled(true);
    setEnabled({mnuIndep, mnuParallel, mnuTrack, mnuAutoMode, mnuOutMode->menuAction(), mnuAutoRun},
               states.couplingAndAutoRun);
    mnuOutput->setEnabled(states.output);
    mnuClearErrorOfProtection->setEnabled(states.clearError);
    setEnabled({mnuControl, mnuTableData, mnuWave}, states.views);
}

void MainMenu::ResetMenuLayout1()
{
    applyLayout({true, true, true, true, true, true});
}

void MainMenu::ResetMenuLayout2()
{
    applyLayout({true, false, false, true, true, true});
}

void MainMenu::ResetMenuLayout3()
{
    applyLayout({false, false, false, true, false, true});
}

} // namespace qle
