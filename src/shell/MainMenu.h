#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QMenuBar;

namespace qle {

// The main window's menu tree, its items named as the program refers to them,
// and the enabled and checked states of each phase.
class MainMenu final : public QObject {
    Q_OBJECT
public:
    explicit MainMenu(QMenuBar *bar, QObject *parent = nullptr);

    void ResetMenu();
    void ResetMenuLayout1();
    void ResetMenuLayout2();
    void ResetMenuLayout3();
    void SetMenuOutputModeAllUnchecked();

    // File
    QAction *mnuUnattended = nullptr;
    QAction *mnuExit = nullptr;
    // Interface
    QAction *mnuGPIB = nullptr;
    QAction *mnuRS232 = nullptr;
    QAction *mnuUSB = nullptr;
    QAction *mnuLan = nullptr;
    QMenu *mnuDepart = nullptr;
    QMenu *mnuKMC = nullptr;
    QMenu *mnuKMA = nullptr;
    QMenu *mnuKMB = nullptr;
    QMenu *mnuQLE = nullptr;
    QList<QAction *> mnuKMCItem;
    QList<QAction *> mnuKMAItem;
    QList<QAction *> mnuKMBItem;
    QList<QAction *> mnuQLEItem;
    // Function
    QAction *mnuSaveMemory = nullptr;
    QAction *mnuRecallMemory = nullptr;
    QAction *mnuDelay = nullptr;
    QAction *mnuReadTimes = nullptr;
    QAction *mnuPolling = nullptr;
    QAction *mnuSequence = nullptr; // always enabled: the window checks against what is connected
    QAction *mnuLimits = nullptr;
    QAction *mnuTerminal = nullptr; // always enabled: the window says when nothing can be sent
    // Action
    QMenu *mnuOutMode = nullptr;
    QAction *mnuIndep = nullptr;
    QAction *mnuParallel = nullptr;
    QAction *mnuTrack = nullptr;
    QAction *mnuAutoMode = nullptr;
    QAction *mnuOutput = nullptr;
    QAction *mnuAutoRun = nullptr;
    QAction *mnuClearErrorOfProtection = nullptr;
    QMenu *mnuRecord = nullptr;
    QAction *mnuRecordStart = nullptr;
    QAction *mnuRecordStop = nullptr;
    QAction *mnuRecordMark = nullptr; // Ctrl+M: a note on the recording's timeline
    QAction *mnuRecordPeriod = nullptr;
    QAction *mnuRecordSave = nullptr;
    QAction *mnuRecordLoad = nullptr;
    // View
    QAction *mnuControl = nullptr;
    QAction *mnuWave = nullptr;
    QAction *mnuTableData = nullptr;
    QAction *mnuToolbar = nullptr;
    QAction *mnuStatusbar = nullptr;
    QAction *mnuNormalSize = nullptr;
    // Help
    QAction *mnuAboutKMAx = nullptr;
    QAction *mnuDebug = nullptr;

private:
    struct LayoutStates {
        bool gpib;
        bool memoryAndDelay;
        bool couplingAndAutoRun;
        bool output;
        bool clearError;
        bool views;
    };
    void applyLayout(const LayoutStates &states);
    void resetCommon();
};

} // namespace qle
