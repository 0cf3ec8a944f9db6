#include "MDIForm1.h"

#include "DataForm.h"
#include "FrmProxy.h"
#include "MainMenu.h"
#include "dialogs/dlgConfigRS232.h"
#include "dialogs/dlgGPIB.h"
#include "dialogs/dlgWaitRsp.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/Trace.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>

namespace qle {

MDIForm1::MDIForm1(ShellOptions options, QWidget *parent)
    : QMainWindow(parent), m_options(std::move(options)), m_engine(std::make_unique<CommTasker>()),
      m_dataForm(std::make_unique<DataForm>()),
      m_proxy(std::make_unique<frmProxy>([this](const QString &text) { DevSetupMachineType(text); }))
{
    setWindowTitle("QLE");
    m_mdiArea = new QMdiArea(this);
    setCentralWidget(m_mdiArea);
    statusBar()->setObjectName("StatusBar1");
    m_menu = new MainMenu(menuBar(), this);
    connectMenus();

    StatusTimer.setInterval(100);
    connect(&StatusTimer, &QTimer::timeout, this, &MDIForm1::onStatusTimer);
    QueryTimer.setInterval(3000);
    GetMachineTypeTimer.setInterval(7500);
    connect(&GetMachineTypeTimer, &QTimer::timeout, this, &MDIForm1::onGetMachineTypeTimer);
    RecallTimer.setInterval(100);

    m_engine->setHost(this);
    m_dlgWaitRsp = std::make_unique<dlgWaitRsp>(*m_engine, this);
    m_engine->setWaitRspDialog(m_dlgWaitRsp.get());
    dlgConfigRS232::setExtraDevicePaths(m_options.serialDevices);
}

MDIForm1::~MDIForm1()
{
    // Unload order: engine, catalogue, then the dialogs.
    m_engine->setHost(nullptr);
    m_engine->setWaitRspDialog(nullptr);
    m_engine.reset();
    m_dataForm.reset();
    m_dlgConfigRS232.reset();
    m_dlgGPIB.reset();
    m_dlgWaitRsp.reset();
    m_proxy.reset();
}

MDIForm1::StartResult MDIForm1::Start()
{
    tableOperation1 = false;
    waveOperation1 = false;
    m_commands.IdnCommand = "*IDN?";
    m_menu->ResetMenu();
    tableOperation1 = false;
    waveOperation1 = false;

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
        platform::messageBox().show("The model catalogue [" + folder + sep + "mtype.mdb] is damaged and could not be repaired: " +
                                        m_dataForm->lastError(),
                                    QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
        return StartResult::CatalogueUnusable;
    }
    SetupMenuMachineTypes();
    StatusTimer.start();
    return StartResult::Ready;
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

void MDIForm1::connectMenus()
{
    connect(m_menu->mnuExit, &QAction::triggered, this, &MDIForm1::mnuExit_Click);
    connect(m_menu->mnuRS232, &QAction::triggered, this, &MDIForm1::mnuRS232_Click);
    connect(m_menu->mnuGPIB, &QAction::triggered, this, &MDIForm1::mnuGPIB_Click);
    connect(m_menu->mnuUSB, &QAction::triggered, this, &MDIForm1::mnuUSB_Click);
}

// ---------------------------------------------------------------- connection

void MDIForm1::Setup(const QString &aCommType, const QString &DefaultMachineType, bool IsDirect)
{
    if (MainFormState >= 2) {
        const auto answer = platform::messageBox().show("Reset and open it?", "REOPEN?", IMessageBox::Buttons::YesNo,
                                                        IMessageBox::Icon::None);
        if (answer == IMessageBox::Answer::Yes) {
            ResetAll();
            Setup(aCommType, DefaultMachineType, IsDirect);
        }
        return;
    }
    if (aCommType == QLatin1String("RS232")) {
        if (!rs232Dialog().Execute(IsDirect))
            return;
        if (!openSerialLink()) {
            platform::messageBox().show("Open " + aCommType + " Failed!", QString(), IMessageBox::Buttons::Ok,
                                        IMessageBox::Icon::None);
            return;
        }
        BeginGetMachineType("RS232", QString());
        setStatusText("Getting the machine type...");
    } else if (aCommType == QLatin1String("GPIB")) {
        if (!gpibDialog().Execute(IsDirect))
            return;
        if (!configureGpibLink()) {
            platform::messageBox().show("Config GPIB failed!", QString(), IMessageBox::Buttons::Ok,
                                        IMessageBox::Icon::None);
            return;
        }
        BeginGetMachineType("GPIB", QString());
        setStatusText("Getting the machine type...");
    } else if (aCommType == QLatin1String("Menu")) {
        BeginGetMachineType("Menu", DefaultMachineType);
    }
}

bool MDIForm1::openSerialLink()
{
    QSerialPort &port = m_engine->MSComm1;
    if (port.isOpen())
        port.close();
    const QString device = rs232Dialog().devicePath();
    if (device.isEmpty())
        return false;
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    const bool configured = port.setBaudRate(rs232Dialog().BaudRate()) && port.setDataBits(QSerialPort::Data8) &&
                            port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
                            port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        port.close();
        return false;
    }
    port.clear();
    return true;
}

bool MDIForm1::configureGpibLink()
{
    GpibDevice *device = m_engine->gpibDevice();
    return device && device->configure(gpibDialog().GPIBn(), gpibDialog().Address());
}

void MDIForm1::SetupCommTasker()
{
    m_engine->IsRejectAnyTask = !(CommType == QLatin1String("RS232") || CommType == QLatin1String("GPIB"));
}

void MDIForm1::SetSettings()
{
    platform::settings().SaveSetting("Common", "CommType", CommType);
    platform::settings().SaveSetting("Common", "MType", MachineType);
}

void MDIForm1::ResetAll()
{
    m_engine->ResetAll();
    CommType.clear();
    MainFormState = 0;
    QueryTimer.stop();
    if (OperatorForm)
        OperatorForm->deleteLater();
    OperatorForm = nullptr;
    if (tableDataForm1)
        tableDataForm1->deleteLater();
    tableDataForm1 = nullptr;
    if (waveForm1)
        waveForm1->deleteLater();
    waveForm1 = nullptr;
    m_menu->ResetMenu();
    tableOperation1 = false;
    waveOperation1 = false;
}

void MDIForm1::AdjustWindowSize()
{
    if (!OperatorForm)
        return;
    const QSize panel = OperatorForm->frameGeometry().size();
    const QSize client = m_mdiArea->viewport()->size();
    const int dh = panel.height() - client.height();
    const int dw = panel.width() - client.width();
    resize(width() + dw, height() + dh);
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

void MDIForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
}

// ---------------------------------------------------------------- interface menu

void MDIForm1::mnuRS232_Click()
{
    Setup("RS232", QString(), false);
}

void MDIForm1::mnuGPIB_Click()
{
    Setup("GPIB", QString(), false);
}

void MDIForm1::mnuUSB_Click()
{
    rs232Dialog().setWindowTitle("Config USB");
    mnuRS232_Click();
    rs232Dialog().setWindowTitle("Config RS232");
}

void MDIForm1::mnuExit_Click()
{
    close();
}

} // namespace qle
