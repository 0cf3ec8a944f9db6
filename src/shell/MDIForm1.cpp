#include "MDIForm1.h"
#include "instrument/LinkReconnector.h"

#include "comm/gpib/GpibDeviceFactory.h"
#include "comm/TcpLink.h"
#include "ControlPort.h"
#include "DataForm.h"
#include "dialogs/dlgAutoMode.h"
#include "dialogs/dlgConfigRS232.h"
#include "dialogs/dlgDelay.h"
#include "dialogs/dlgGPIB.h"
#include "dialogs/dlgLan.h"
#include "dialogs/dlgLimits.h"
#include "dialogs/dlgQueryInitial.h"
#include "dialogs/dlgReadTimes.h"
#include "dialogs/dlgRecallData.h"
#include "dialogs/dlgSaveData.h"
#include "dialogs/dlgUnattended.h"
#include "dialogs/dlgWaitRsp.h"
#include "dialogs/frmTerminal.h"
#include "FrmProxy.h"
#include "instrument/Instrument.h"
#include "instrument/InstrumentLink.h"
#include "MainMenu.h"
#include "MainToolbar.h"
#include "MqttSession.h"
#include "platform/CatalogueUpgrade.h"
#include "platform/DataFolder.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/Trace.h"
#include "recording/database/RecordDatabase.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/dlgRecordLength.h"
#include "recording/table/frmDataTable.h"
#include "RecordingTimeline.h"
#include "SequenceControl.h"
#include "SequenceWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSqlDatabase>
#include <QStatusBar>
#include <QToolBar>

// The pictures live in this static library; its resources must be registered
// by hand, outside any namespace.
static void initShellResources()
{
    Q_INIT_RESOURCE(shell);
}

namespace qle {

MDIForm1::MDIForm1(ShellOptions options, QWidget *parent)
    : QMainWindow(parent), m_options(std::move(options)), m_engine(std::make_unique<CommTasker>()),
      m_instrument(std::make_unique<Instrument>(*m_engine)), m_dataForm(std::make_unique<DataForm>()),
      m_proxy(std::make_unique<frmProxy>([this](const QString &text) { DevSetupMachineType(text); }))
{
    initShellResources();
    setWindowTitle("QLE");
    m_mdiArea = new QMdiArea(this);
    setCentralWidget(m_mdiArea);
    createStartPage();
    // What a script or the program itself (a limit, a watchdog) changes
    // through the model shows as if done here.
    connect(m_instrument.get(), &Instrument::outputChanged, this, [this](bool on, ChangeSource source) {
        if ((source != ChangeSource::Script && source != ChangeSource::Program) || MainFormState != 3)
            return;
        showOutputState(on);
        CheckOutput();
    });
    connect(m_instrument.get(), &Instrument::couplingChanged, this, [this](Coupling coupling, ChangeSource source) {
        if (source != ChangeSource::Script || MainFormState != 3)
            return;
        // Replies to queries asked before the change would undo it.
        m_engine->ResetQueryTasks();
        showCoupling(coupling);
    });
    statusBar()->setObjectName("StatusBar1");
    m_menu = new MainMenu(menuBar(), this);
    m_toolbar = new MainToolbar(addToolBar("Toolbar1"), this);
    connectMenus();

    StatusTimer.setInterval(100);
    connect(&StatusTimer, &QTimer::timeout, this, &MDIForm1::StatusTimer_Timer);
    // A message put there by anything else (a menu's status tip clears it)
    // is replaced at the next tick, as while the timer runs.
    connect(statusBar(), &QStatusBar::messageChanged, this, &MDIForm1::wakeStatusLine);
    QueryTimer.setInterval(3000);
    GetMachineTypeTimer.setInterval(7500);
    GetMachineTypeTimer.setTimerType(Qt::PreciseTimer); // a coarse timer may end it 5 % early
    connect(&GetMachineTypeTimer, &QTimer::timeout, this, &MDIForm1::onGetMachineTypeTimer);
    RecallTimer.setInterval(100);
    connect(&RecallTimer, &QTimer::timeout, this, &MDIForm1::RecallTimer_Timer);
    connect(&QueryTimer, &QTimer::timeout, this, &MDIForm1::onQueryTimer);

    m_engine->setHost(this);
    m_polling = PollingChoice::load();
    applyPolling();
    m_dlgWaitRsp = std::make_unique<dlgWaitRsp>(*m_engine, this);
    m_engine->setWaitRspDialog(m_dlgWaitRsp.get());
    dlgConfigRS232::setExtraDevicePaths(m_options.serialDevices);
    m_timeline = std::make_unique<RecordingTimeline>(*this);
    m_sequence = std::make_unique<SequenceControl>(*this);
    setupReconnection();
    m_mqtt = std::make_unique<MqttSession>(*m_instrument);
    connect(m_mqtt.get(), &MqttSession::statusText, this, [this](const QString &text) { ReportStatus(text, 10000); });
    connect(m_timeline.get(), &RecordingTimeline::eventAdded, m_mqtt.get(), &MqttSession::takeTimelineEvent);
}

MDIForm1::~MDIForm1()
{
    // A run's host is this window: it goes first.
    m_sequenceWindow.reset();
    m_sequence.reset();
    m_timeline.reset();
    // The recorders hold statements on the database: they go before it.
    for (QWidget *child : {static_cast<QWidget *>(OperatorForm.data()), tableDataForm1.data(), waveForm1.data()})
        delete child;
    // Unload order: engine, catalogue, then the dialogs.
    m_engine->setHost(nullptr);
    m_engine->setWaitRspDialog(nullptr);
    m_engine->setGpibDevice(nullptr);
    m_instrument.reset();
    m_engine.reset();
    m_gpibDevice.reset();
    m_dataForm.reset();
    m_dlgAutoMode.reset();
    m_dlgConfigRS232.reset();
    m_dlgDelay.reset();
    m_dlgQueryInitial.reset();
    m_dlgReadTimes.reset();
    m_dlgRecallData.reset();
    m_dlgSaveData.reset();
    m_dlgGPIB.reset();
    m_proxy.reset();
    m_dlgRecordLength.reset();
    m_dlgWaitRsp.reset();
}

MDIForm1::StartResult MDIForm1::Start()
{
    tableOperation1 = false;
    waveOperation1 = false;
    m_commands.IdnCommand = "*IDN?";
    recordLengthDialog();
    ResetMenu();
    ResetToolbar();

    if (!lockDataFolder())
        return StartResult::DataFolderInUse;
    // A newer shipped catalogue brings its new models; the user's rows and
    // records stay as they are.
    if (!m_options.shippedCatalogue.isEmpty()) {
        const CatalogueUpgrade::Result upgrade = CatalogueUpgrade::addMissingModels(
            QDir(m_options.dataFolder).filePath(DataFolder::CatalogueFileName), m_options.shippedCatalogue);
        if (!upgrade.ok)
            Trace("catalogue upgrade skipped: " + upgrade.error);
        else if (!upgrade.added.isEmpty())
            Trace("catalogue upgrade added: " + upgrade.added.join(", "));
    }
    const DataForm::OpenResult opened = m_dataForm->open(m_options.dataFolder, m_options.shippedCatalogue);
    if (opened != DataForm::OpenResult::Ok) {
        const QString folder = QDir::toNativeSeparators(m_options.dataFolder);
        const QString sep = QDir::separator();
        if (opened == DataForm::OpenResult::Missing) {
            platform::messageBox().show("System cannot find [" + folder + sep + "mtype.mdb]." + "\r\n" +
                                            " Please copy mtype.mdb to [" + folder + sep + "] directory.",
                                        QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
            return StartResult::CatalogueMissing;
        }
        platform::messageBox().show("The model catalogue [" + folder + sep +
                                        "mtype.mdb] is damaged and could not be repaired: " + m_dataForm->lastError(),
                                    QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
        return StartResult::CatalogueUnusable;
    }
    offerUnsavedRows();
    restoreWindowPosition();
    SetupMenuMachineTypes();
    updateStartPage();
    StatusTimer.start();
    m_mqtt->apply(MqttSettings::load(platform::settings()));
    return StartResult::Ready;
}

bool MDIForm1::lockDataFolder()
{
    QDir().mkpath(m_options.dataFolder);
    m_dataFolderLock = std::make_unique<QLockFile>(QDir(m_options.dataFolder).filePath("mtype.lock"));
    // A lock left by a copy that crashed is taken over: QLockFile checks
    // whether its process still runs.
    m_dataFolderLock->setStaleLockTime(0);
    if (m_dataFolderLock->tryLock(0))
        return true;
    m_dataFolderLock.reset();
    platform::messageBox().show("Another copy of this program is already using the data folder [" +
                                    QDir::toNativeSeparators(m_options.dataFolder) +
                                    "]. Close it first, or start this copy with another --data-dir.",
                                QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
    return false;
}

// Rows left in the working table by a run that ended before they were saved
// (a crash, a power cut) are offered back instead of being cleared unseen.
void MDIForm1::offerUnsavedRows()
{
    RecordDatabase records(QSqlDatabase::database(DataForm::ConnectionName));
    qint64 count = 0;
    if (!records.unsavedWorkingRows(&count) || count == 0)
        return;
    // Kept without a question: the start page tells of them.
    if (m_options.unattended) {
        Trace(QString::number(count) + " unsaved rows of an earlier recording kept");
        return;
    }
    const auto answer = platform::messageBox().show(
        QString::number(count) + " rows of an unsaved recording were found; keep them?\r\n"
                                 "They are shown in the data table of the next connection, where they can be saved.",
        "Unsaved recording", IMessageBox::Buttons::YesNo, IMessageBox::Icon::Question);
    // Kept rows are shown by the data table of the next connection.
    if (answer != IMessageBox::Answer::Yes)
        records.clearWorking();
}

// A recording whose instrument is gone ends now, with the rows it has: they
// stay in the working table for the next connection's recorders to show.
void MDIForm1::keepRecordingOfLostLink()
{
    frmDataTable *table = tableRecorder();
    if (!table || !table->isRecording())
        return;
    table->EndRecordData(0);
    Trace("recording ended with the link after " + QString::number(table->iCurrentRow) + " rows");
}

void MDIForm1::showKeptRows(frmDataTable &table)
{
    const int kept = table.showUnsavedRows();
    if (kept == 0)
        return;
    if (frmGraphicRecord *graph = graphWindow())
        graph->showKeptRows(table.rowsScale());
    ReportStatus(QString::number(kept) + " unsaved rows of the last recording were kept: Record > Save keeps them.",
                 10000);
}

dlgConfigRS232 &MDIForm1::rs232Dialog()
{
    if (!m_dlgConfigRS232)
        m_dlgConfigRS232 = std::make_unique<dlgConfigRS232>(*m_engine, this);
    return *m_dlgConfigRS232;
}

dlgGPIB &MDIForm1::gpibDialog()
{
    if (!m_dlgGPIB)
        m_dlgGPIB = std::make_unique<dlgGPIB>(this);
    return *m_dlgGPIB;
}

dlgAutoMode &MDIForm1::autoModeDialog()
{
    if (!m_dlgAutoMode)
        m_dlgAutoMode = std::make_unique<dlgAutoMode>(this);
    return *m_dlgAutoMode;
}

dlgDelay &MDIForm1::delayDialog()
{
    if (!m_dlgDelay)
        m_dlgDelay = std::make_unique<dlgDelay>(this);
    return *m_dlgDelay;
}

dlgReadTimes &MDIForm1::readTimesDialog()
{
    if (!m_dlgReadTimes)
        m_dlgReadTimes = std::make_unique<dlgReadTimes>(this);
    return *m_dlgReadTimes;
}

dlgSaveData &MDIForm1::saveDataDialog()
{
    if (!m_dlgSaveData)
        m_dlgSaveData = std::make_unique<dlgSaveData>(this);
    return *m_dlgSaveData;
}

dlgRecallData &MDIForm1::recallDataDialog()
{
    if (!m_dlgRecallData)
        m_dlgRecallData = std::make_unique<dlgRecallData>(this);
    return *m_dlgRecallData;
}

dlgQueryInitial &MDIForm1::queryInitialDialog()
{
    if (!m_dlgQueryInitial)
        m_dlgQueryInitial = std::make_unique<dlgQueryInitial>(*m_engine, this);
    return *m_dlgQueryInitial;
}

int MDIForm1::gpibAddress() const
{
    if (const GpibDevice *device = m_engine->gpibDevice())
        return device->address();
    return m_dlgGPIB ? m_dlgGPIB->Address() : 0;
}

const CatalogueRow *MDIForm1::catalogueRow(const QString &mtype) const
{
    return m_dataForm->findFirst(mtype);
}

void MDIForm1::connectMenus()
{
    // Check marks follow the program's state, not the click: a checkable item
    // gets its mark back before its command runs.
    auto onClick = [this](QAction *action, void (MDIForm1::*command)()) {
        connect(action, &QAction::triggered, this, [this, action, command](bool) {
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            (this->*command)();
        });
    };
    onClick(m_menu->mnuUnattended, &MDIForm1::mnuUnattended_Click);
    onClick(m_menu->mnuExit, &MDIForm1::mnuExit_Click);
    onClick(m_menu->mnuRS232, &MDIForm1::mnuRS232_Click);
    onClick(m_menu->mnuGPIB, &MDIForm1::mnuGPIB_Click);
    onClick(m_menu->mnuUSB, &MDIForm1::mnuUSB_Click);
    onClick(m_menu->mnuLan, &MDIForm1::mnuLan_Click);
    onClick(m_menu->mnuSaveMemory, &MDIForm1::mnuSaveMemory_Click);
    onClick(m_menu->mnuRecallMemory, &MDIForm1::mnuRecallMemory_Click);
    onClick(m_menu->mnuDelay, &MDIForm1::mnuDelay_Click);
    onClick(m_menu->mnuReadTimes, &MDIForm1::mnuReadTimes_Click);
    onClick(m_menu->mnuPolling, &MDIForm1::mnuPolling_Click);
    onClick(m_menu->mnuTerminal, &MDIForm1::mnuTerminal_Click);
    onClick(m_menu->mnuSequence, &MDIForm1::mnuSequence_Click);
    onClick(m_menu->mnuLimits, &MDIForm1::mnuLimits_Click);
    onClick(m_menu->mnuIndep, &MDIForm1::mnuIndep_Click);
    onClick(m_menu->mnuParallel, &MDIForm1::mnuParallel_Click);
    onClick(m_menu->mnuTrack, &MDIForm1::mnuTrack_Click);
    onClick(m_menu->mnuAutoMode, &MDIForm1::mnuAutoMode_Click);
    onClick(m_menu->mnuOutput, &MDIForm1::mnuOutput_Click);
    onClick(m_menu->mnuAutoRun, &MDIForm1::mnuAutoRun_Click);
    onClick(m_menu->mnuClearErrorOfProtection, &MDIForm1::mnuClearErrorOfProtection_Click);
    onClick(m_menu->mnuControl, &MDIForm1::mnuControl_Click);
    onClick(m_menu->mnuWave, &MDIForm1::mnuWave_Click);
    onClick(m_menu->mnuTableData, &MDIForm1::mnuTableData_Click);
    onClick(m_menu->mnuToolbar, &MDIForm1::mnuToolbar_Click);
    onClick(m_menu->mnuStatusbar, &MDIForm1::mnuStatusbar_Click);
    onClick(m_menu->mnuAboutKMAx, &MDIForm1::mnuAboutKMAx_Click);
    onClick(m_menu->mnuRecordStart, &MDIForm1::mnuRecordStart_Click);
    onClick(m_menu->mnuRecordStop, &MDIForm1::mnuRecordStop_Click);
    onClick(m_menu->mnuRecordMark, &MDIForm1::mnuRecordMark_Click);
    onClick(m_menu->mnuRecordPeriod, &MDIForm1::mnuRecordPeriod_Click);
    onClick(m_menu->mnuRecordSave, &MDIForm1::mnuRecordSave_Click);
    onClick(m_menu->mnuRecordLoad, &MDIForm1::mnuRecordLoad_Click);
    connect(m_toolbar, &MainToolbar::ButtonClick, this, &MDIForm1::Toolbar1_ButtonClick);
    connect(m_toolbar, &MainToolbar::LiveClicked, this, &MDIForm1::toggleLivePolling);
    connect(m_toolbar, &MainToolbar::TerminalClicked, this, &MDIForm1::mnuTerminal_Click);
}

void MDIForm1::SetSettings()
{
    platform::settings().SaveSetting("Common", "CommType", CommType);
    platform::settings().SaveSetting("Common", "MType", MachineType);
}

void MDIForm1::ResetAll()
{
    if (MainFormState == 3 && !m_reportingLinkLoss)
        noteLinkEnd("Disconnected from " + MachineType + ".", QString());
    m_reconnector->stop();
    m_staleBeforeMs = -1;
    keepRecordingOfLostLink();
    // An initial read still waiting ends now: its dialog's loop must not be
    // running still when the next connection starts its own read.
    if (m_dlgQueryInitial && m_dlgQueryInitial->isVisible())
        m_dlgQueryInitial->reject();
    m_engine->ResetAll();
    m_engine->linkGivenUp();
    m_instrument->forget();
    // A socket is let go at once, so the instrument takes the next client.
    closeTcpLinkQuietly(m_engine->MSTcp);
    CommType.clear();
    MainFormState = 0;
    mainFormStateChanged();
    QueryTimer.stop();
    closeChild(OperatorForm);
    OperatorForm = nullptr;
    closeChild(tableDataForm1);
    tableDataForm1 = nullptr;
    closeChild(waveForm1);
    waveForm1 = nullptr;
    ResetMenu();
    ResetToolbar();
    updateStartPage();
}

// Unloads a child window. Deletion waits for the event loop, because the
// window may be the one whose reply or button led here.
void MDIForm1::closeChild(QWidget *child)
{
    if (!child)
        return;
    child->hide();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget()))
        sub->deleteLater();
    else
        child->deleteLater();
}

void MDIForm1::ResetMenu()
{
    m_menu->ResetMenu();
    tableOperation1 = false;
    waveOperation1 = false;
}

void MDIForm1::ResetToolbar()
{
    m_toolbar->ResetToolbar();
}

void MDIForm1::SetupMenu()
{
    m_menu->mnuRS232->setChecked(CommType == QLatin1String("RS232"));
    m_menu->mnuGPIB->setChecked(CommType == QLatin1String("GPIB"));
    m_menu->mnuLan->setChecked(CommType == QLatin1String("TCP"));
}

void MDIForm1::SetupToolBar()
{
    m_toolbar->SetupToolBar(LayoutType, isInstrumentLink());
}

void MDIForm1::Toolbar1_ButtonClick(const QString &key)
{
    if (key == "GPIB") {
        mnuGPIB_Click();
    } else if (key == "RS232") {
        mnuRS232_Click();
    } else if (key == "OnOffLine") {
        if (!connectRemembered())
            m_toolbar->setPressed("OnOffLine", true);
    } else if (key == "SaveMemory") {
        mnuSaveMemory_Click();
    } else if (key == "RecallMemory") {
        mnuRecallMemory_Click();
    } else if (key == "Delay") {
        mnuDelay_Click();
    } else if (key == "ReadTimes") {
        mnuReadTimes_Click();
    } else if (key == "Output") {
        mnuOutput_Click();
        m_toolbar->setPressed("Output", m_menu->mnuOutput->isChecked());
    } else if (key == "AutoRun") {
        mnuAutoRun_Click();
        m_toolbar->setPressed("AutoRun", m_menu->mnuAutoRun->isChecked());
    } else if (key == "ClearError") {
        mnuClearErrorOfProtection_Click();
    } else if (key == "About") {
        mnuAboutKMAx_Click();
    }
}

// The client area fits the panel; while a recorder is shown, it grows (never
// below the panel) until every control of the recorder fits.
void MDIForm1::AdjustWindowSize()
{
    if (!OperatorForm)
        return;
    // Shown or hidden bars change the client area only once the layout runs.
    if (layout())
        layout()->activate();
    const QWidget *frame = OperatorForm->parentWidget() ? OperatorForm->parentWidget() : OperatorForm.data();
    QSize wanted = frame->frameGeometry().size();
    for (QWidget *recorder : {tableDataForm1.data(), waveForm1.data()}) {
        const QWidget *recorderFrame = recorder ? recorder->parentWidget() : nullptr;
        if (recorderFrame && recorderFrame->isVisibleTo(this))
            wanted = wanted.expandedTo(recorderFrame->minimumSizeHint().expandedTo(recorder->minimumSize()));
    }
    const QSize client = m_mdiArea->viewport()->size();
    resize(width() + wanted.width() - client.width(), height() + wanted.height() - client.height());
}

// A recorder's close box hides it: its rows and a running recording stay,
// and View brings it back. The panel shows in its place.
bool MDIForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (startPageEvent(watched, event))
        return true;
    if (event->type() == QEvent::Close) {
        for (QWidget *recorder : {tableDataForm1.data(), waveForm1.data()}) {
            if (recorder && watched == recorder->parentWidget()) {
                event->ignore();
                QTimer::singleShot(0, this, &MDIForm1::mnuControl_Click);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MDIForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        // The main window is never maximized: it follows the panel's size.
        QTimer::singleShot(0, this, [this] {
            showNormal();
            AdjustWindowSize();
        });
    }
}

// The window's place is kept in a section of its own, apart from the keys
// the connection settings use.
namespace {
const QString WindowSection = QStringLiteral("MainWindow");
constexpr int FarAway = 100000;
} // namespace

void MDIForm1::closeEvent(QCloseEvent *event)
{
    if (!mayCloseDuringSequence()) {
        event->ignore();
        return;
    }
    platform::settings().SaveInt(WindowSection, "Left", pos().x());
    platform::settings().SaveInt(WindowSection, "Top", pos().y());
    QMainWindow::closeEvent(event);
}

void MDIForm1::restoreWindowPosition()
{
    const ISettingsStore &store = platform::settings();
    const QPoint at(store.GetInt(WindowSection, "Left", FarAway, -FarAway, FarAway),
                    store.GetInt(WindowSection, "Top", FarAway, -FarAway, FarAway));
    // Only onto a screen there is now: a monitor may have gone since.
    if (QGuiApplication::screenAt(at + QPoint(20, 20)))
        move(at);
}

void MDIForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
}

} // namespace qle
