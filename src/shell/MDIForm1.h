#pragma once

#include "comm/CommTasker.h"
#include "dialogs/dlgPolling.h"
#include "panels/Panel.h"
#include "panels/PanelHost.h"
#include "protocol/Commands.h"
#include "protocol/DeviceCommands.h"
#include "recording/graph/GraphHost.h"
#include "RestingTimer.h"
#include "ShellOptions.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

class QLockFile;
class QMdiArea;
class QStatusBar;

namespace qle {

class StartPage;
class LinkReconnector;
class MqttSession;
class Instrument;
class RecordingTimeline;
class SequenceControl;
class dlgLimits;
class dlgUnattended;
class SequenceWindow;
enum class ChangeSource;
class dlgLan;
struct TcpAddress;
struct LinkOptions;

class DataForm;
class MainMenu;
class MainToolbar;
class dlgAutoMode;
class dlgConfigRS232;
class dlgDelay;
class dlgGPIB;
class dlgPolling;
class dlgQueryInitial;
class dlgReadTimes;
class dlgRecordLength;
class frmDataTable;
class dlgRecallData;
class dlgSaveData;
class dlgWaitRsp;
class frmDebug;
class frmProxy;
class ControlPort;
class frmTerminal;

// The main window: start-up, link opening, identification of the model,
// status line and the menus that drive a connection.
class MDIForm1 final : public QMainWindow, public ICommTaskerHost, public IPanelHost, public IGraphHost {
    Q_OBJECT
public:
    enum class StartResult { Ready, CatalogueMissing, CatalogueUnusable, DataFolderInUse };

    explicit MDIForm1(ShellOptions options, QWidget *parent = nullptr);
    ~MDIForm1() override;

    // Opens the catalogue and fills the family menus. When it fails, the user
    // has been told and the program must end.
    StartResult Start();

    // Connection.
    void Setup(const QString &aCommType, const QString &DefaultMachineType, bool IsDirect);
    // The on-line button's reconnection with the remembered link and model,
    // without dialogs; false when no link is remembered.
    bool connectRemembered();
    // A serial device remembered as the link and connected at once.
    void connectSerialDevice(const QString &path);
    // Interface > Terminal... and the toolbar's Terminal button.
    void mnuTerminal_Click();
    [[nodiscard]] frmTerminal *terminal() const { return m_terminal.get(); }
    // Function > Sequence...: the window, made on first use.
    void mnuSequence_Click();
    // Function > Limits...: the connected model's limits and their actions.
    void mnuLimits_Click();
    [[nodiscard]] SequenceWindow *sequenceWindow() const { return m_sequenceWindow.get(); }
    [[nodiscard]] SequenceControl &sequence() { return *m_sequence; }
    // Charge, energy, events and limits of the recording.
    [[nodiscard]] RecordingTimeline &timeline() { return *m_timeline; }
    // Scripts over a local TCP port; false with *error when it cannot listen.
    bool startControlPort(quint16 port, QString *error);
    [[nodiscard]] quint16 controlPort() const;
    void SetupCommTasker();
    void SetSettings();
    void ResetAll();
    void AdjustWindowSize();

    // Identification.
    bool SetupMenuMachineTypes();
    void BeginGetMachineType(const QString &aCommType, const QString &DefaultMachineType);
    void OkGetMachineType();
    void FailGetMachineType();
    void EndGetMachineType();

    // Layout activation.
    bool SetupLayout();
    void NewLayout1();
    void NewLayout2();
    void NewLayout3();
    void ResetTableandWave();
    void NewTable1(qint16 idx);
    void NewWave1(qint16 idx);
    bool QueryInitialValues();
    [[nodiscard]] Panel *currentPanel() const override { return OperatorForm.data(); }

    // Menus and toolbar.
    void SetupMenu();
    void SetupToolBar();
    void ResetMenu();
    void ResetToolbar();
    void Toolbar1_ButtonClick(const QString &key);
    void mnuControl_Click();
    // Opens the recorders on unsaved rows kept from an earlier recording,
    // with no instrument connected.
    void viewKeptRows();
    [[nodiscard]] StartPage *startPage() const { return m_startPage; }
    void mnuWave_Click();
    void mnuTableData_Click();
    void mnuToolbar_Click();
    void mnuStatusbar_Click();
    void mnuAboutKMAx_Click();
    void mnuRecordStart_Click();
    void mnuRecordStop_Click();
    // Asks for a note and puts it on the running recording's timeline.
    void mnuRecordMark_Click();
    void mnuRecordPeriod_Click();
    void mnuRecordSave_Click();
    void mnuRecordLoad_Click();
    [[nodiscard]] frmDataTable *tableRecorder() const;
    dlgRecordLength &recordLengthDialog();
    // Record settings checked and stored as the record settings dialog does
    // on OK, without it; the refusal, or empty when they were taken.
    QString setupRecording(int days, int hours, int minutes, int seconds, int scale, int pointStyle);

    // Device-wide operations.
    void DoOutput(bool value) override;
    void CheckOutput();
    void ToggleOutput();
    void mnuOutput_Click();
    void DoAutoRun(bool value) override;
    void ToggleAutoRun();
    void mnuAutoRun_Click();
    void mnuIndep_Click() override;
    void mnuParallel_Click() override;
    void mnuTrack_Click() override;
    void SetMenuOutputModeAllUnchecked() override;
    [[nodiscard]] bool outputOn() const override;
    [[nodiscard]] bool autoRunOn() const override;
    void followOutput(bool on) override;
    void followAutoRun(bool on) override;
    void followCoupling(Coupling coupling) override;
    void mnuAutoMode_Click() override;
    void mnuDelay_Click();
    void mnuReadTimes_Click();
    // Polling mode: Function > Polling... and the toolbar's Live button.
    void mnuPolling_Click();
    void toggleLivePolling();
    void setPolling(const PollingChoice &choice);
    [[nodiscard]] const PollingChoice &polling() const { return m_polling; }
    dlgPolling &pollingDialog();
    void mnuClearErrorOfProtection_Click();
    void mnuSaveMemory_Click() override;
    void mnuRecallMemory_Click() override;
    void RecallTimer_Timer();
    void RecallMemory2();

    // What the panel reads of the main window.
    [[nodiscard]] int mainFormState() const override { return MainFormState; }
    [[nodiscard]] QString commType() const override { return CommType; }
    [[nodiscard]] QString machineType() const override { return MachineType; }
    [[nodiscard]] bool isQueryInitialValues() const override { return IsQueryInitialValues; }
    [[nodiscard]] int gpibAddress() const override;
    CommTasker &engine() override { return *m_engine; }
    [[nodiscard]] const Commands &commands() const override { return m_commands; }
    [[nodiscard]] const CatalogueRow *catalogueRow(const QString &mtype) const override;
    bool runQueryInitialDialog() override;
    [[nodiscard]] int readTimesSetting() const override;

    // What the recorders read of the main window.
    [[nodiscard]] frmGraphicRecord *graphWindow() const override;
    [[nodiscard]] int recordScaleSetting() const override;
    [[nodiscard]] int readingMaxAgeMs() const override;
    [[nodiscard]] bool recordMenuEnabled() const override;
    void recordStart() override { mnuRecordStart_Click(); }
    void recordStop() override { mnuRecordStop_Click(); }
    void recordPeriod() override { mnuRecordPeriod_Click(); }
    void showControlPanel() override { mnuControl_Click(); }

    // Status line.
    void ReportStatus(const QString &msg, int msec) override;
    [[nodiscard]] bool isQueryTimerEnabled() const override { return QueryTimer.isActive(); }
    [[nodiscard]] QString statusText() const;

    // Interface menu.
    void mnuRS232_Click();
    void mnuGPIB_Click();
    void mnuUSB_Click();
    void mnuLan_Click();
    // Connects to the instrument at `address`, as --connect tcp://HOST:PORT
    // asks: remembered, no dialogs.
    void connectTcpAddress(const TcpAddress &address);
    dlgLan &lanDialog();
    // A real link to an instrument: serial, GPIB or TCP (not testing mode).
    [[nodiscard]] bool isInstrumentLink() const;
    // Why the last connection ended before its panel ran; empty otherwise.
    [[nodiscard]] QString connectionFailure() const { return m_connectionFailure; }
    void mnuExit_Click();
    // File > Unattended...: reconnection and publishing.
    void mnuUnattended_Click();
    [[nodiscard]] MqttSession &mqtt() { return *m_mqtt; }
    void mnuKMAItem_Click(int Index);
    void mnuKMBItem_Click(int Index);
    void mnuKMCItem_Click(int Index);
    void mnuQLEItem_Click(int Index);

    [[nodiscard]] MainMenu &menu() { return *m_menu; }
    [[nodiscard]] MainToolbar &toolbar() { return *m_toolbar; }
    [[nodiscard]] DataForm &dataForm() { return *m_dataForm; }
    [[nodiscard]] Commands &commands() { return m_commands; }
    Instrument *instrument() override { return m_instrument.get(); }
    // The connected instrument's model: what is known of it, and the
    // operations scripts use.
    [[nodiscard]] Instrument &model() { return *m_instrument; }
    // The query that reads the connected instrument's error queue; empty
    // when its family has none.
    [[nodiscard]] QString errorQueueQuery() const;
    [[nodiscard]] frmProxy &proxy() { return *m_proxy; }
    dlgConfigRS232 &rs232Dialog();
    dlgGPIB &gpibDialog();
    dlgAutoMode &autoModeDialog();
    dlgDelay &delayDialog();
    dlgReadTimes &readTimesDialog();
    dlgSaveData &saveDataDialog();
    dlgRecallData &recallDataDialog();
    dlgQueryInitial &queryInitialDialog();

    // Public members the other windows read.
    QString CommType;
    QString MachineType;
    qint32 MainFormState = 0;
    qint16 AliveNumber = 0;
    qint16 LayoutType = 0;
    QPointer<Panel> OperatorForm;
    bool IsSuspendOutput = false;
    bool IsQueryInitialValues = false;
    int StatusLineLiveMsec = 0;
    QString StatusLine;
    QPointer<QWidget> tableDataForm1;
    bool tableOperation1 = false;
    QPointer<QWidget> waveForm1;
    bool waveOperation1 = false;

    RestingTimer StatusTimer;
    QTimer QueryTimer;
    QTimer GetMachineTypeTimer;
    QTimer RecallTimer;

public slots:
    // Reached by name from the engine.
    void DevSetupMachineType(const QString &data);
    void DevSetupMachineType2() override;
    void DevGetMachineTypeTimeout();
    void OperationTimeout();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Asks before a running sequence is stopped by closing; a stop closes
    // once the sequence's end state has been applied.
    [[nodiscard]] bool mayCloseDuringSequence();
    void resizeEvent(QResizeEvent *event) override;

public:
    void StatusTimer_Timer();

private:
    void setStatusText(const QString &text);
    void onGetMachineTypeTimer();
    void familyItemClicked(const QList<QAction *> &items, int index);
    void connectMenus();
    void installPanel(Panel *panel, int layoutType);
    bool lockDataFolder();
    void offerUnsavedRows();
    void keepRecordingOfLostLink();
    void restoreWindowPosition();
    // After each change of MainFormState: the terminal can send while a real
    // instrument's panel runs, and the status line shows the new state.
    void mainFormStateChanged();
    void openLink(const LinkOptions &link);
    // The start page: shown while nothing is connected.
    void createStartPage();
    void updateStartPage();
    bool startPageEvent(QObject *watched, QEvent *event);
    void noteLinkEnd(const QString &headline, const QString &detail);
    // A lost link taken up again by itself (the Unattended settings): true
    // when the loss is handled so, with no box.
    void setupReconnection();
    bool reconnectAfterLoss();
    void onReconnected(int tries);
    void onReconnectionStopped(const QString &why);
    [[nodiscard]] QString reconnectingText(int attempt) const;
    // "KMA-3303T on /dev/ttyUSB0 at 9600 baud"; empty when no link is remembered.
    [[nodiscard]] QString rememberedLinkText() const;
    void updateTerminalLink();
    // Starts the status line's timer again when it rests.
    void wakeStatusLine() { StatusTimer.wake(); }
    void showKeptRows(frmDataTable &table);
    void applyRecordSetup(frmDataTable &table);
    void closeChild(QWidget *child);
    void applyCoupling(Coupling coupling);
    void showCoupling(Coupling coupling);
    void showOutputState(bool value);
    // Ending auto-run by the user sends the panel's coupling again, as the
    // instrument expects; ending it by the instrument only shows it.
    void showAutoRunState(bool value, bool resendCoupling);
    // Timer interval, engine cycle count and timer state for the chosen mode.
    void applyPolling();
    void onQueryTimer();
    void restartLivePolling();
    // Tells on the status line when the instrument has gone quiet, or when
    // the link is too slow for the chosen period.
    void reportLiveHealth(Panel &panel);
    void queueDeviceCommand(const QString &text);
    [[nodiscard]] CommandFamily family() const;
    [[nodiscard]] ChangeSource changeSource() const;

    ShellOptions m_options;
    std::unique_ptr<CommTasker> m_engine;
    std::unique_ptr<Instrument> m_instrument;
    std::unique_ptr<DataForm> m_dataForm;
    std::unique_ptr<frmProxy> m_proxy;
    std::unique_ptr<dlgConfigRS232> m_dlgConfigRS232;
    std::unique_ptr<dlgGPIB> m_dlgGPIB;
    std::unique_ptr<dlgWaitRsp> m_dlgWaitRsp;
    std::unique_ptr<dlgAutoMode> m_dlgAutoMode;
    std::unique_ptr<dlgDelay> m_dlgDelay;
    std::unique_ptr<dlgQueryInitial> m_dlgQueryInitial;
    std::unique_ptr<dlgReadTimes> m_dlgReadTimes;
    std::unique_ptr<dlgRecallData> m_dlgRecallData;
    std::unique_ptr<dlgSaveData> m_dlgSaveData;
    std::unique_ptr<dlgRecordLength> m_dlgRecordLength;
    std::unique_ptr<dlgPolling> m_dlgPolling;
    std::unique_ptr<dlgLan> m_dlgLan;
    std::unique_ptr<ControlPort> m_controlPort;
    std::unique_ptr<frmTerminal> m_terminal;
    std::unique_ptr<RecordingTimeline> m_timeline;
    std::unique_ptr<SequenceControl> m_sequence;
    std::unique_ptr<SequenceWindow> m_sequenceWindow;
    std::unique_ptr<dlgLimits> m_dlgLimits;
    std::unique_ptr<dlgUnattended> m_dlgUnattended;
    // A close waiting for a stopped sequence to apply its end state.
    bool m_closeAfterSequence = false;
    PollingChoice m_polling;
    // The polling interval to go back to after a shortened first period.
    int m_queryIntervalAfterShiftMs = 0;
    // The Live reading period last told on the status line.
    int m_toldLiveReadingMs = 0;
    std::unique_ptr<GpibDevice> m_gpibDevice;
    Commands m_commands;
    MainMenu *m_menu = nullptr;
    MainToolbar *m_toolbar = nullptr;
    QMdiArea *m_mdiArea = nullptr;
    bool m_menuItemsCreated = false;
    // Held while the program runs: a second copy on the same data folder
    // would clear and fill the same working table.
    std::unique_ptr<QLockFile> m_dataFolderLock;
    std::unique_ptr<LinkReconnector> m_reconnector;
    std::unique_ptr<MqttSession> m_mqtt;
    // When the link was lost, on the monotonic clock in ms: readings older
    // are gaps in a recording, not the last values again. -1: not lost.
    qint64 m_staleBeforeMs = -1;
    QString m_linkLostTime;
    // The panel reads the instrument after a reconnection: what it reads of
    // output, coupling and auto-run is shown, not sent back as on a new
    // connection.
    bool m_followingInstrument = false;
    // A lost link is being reported: a second notice of it shows nothing.
    bool m_reportingLinkLoss = false;
    // Counts the connections begun.
    quint64 m_connectionCount = 0;
    QString m_connectionFailure;
    StartPage *m_startPage = nullptr;
    // What the start page says of the last link: headline and detail.
    std::pair<QString, QString> m_linkEnd;
    // The record settings were confirmed in this run: a new data table
    // records with them.
    bool m_recordSetupConfirmed = false;
};

} // namespace qle
