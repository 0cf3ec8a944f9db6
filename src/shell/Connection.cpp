// Opening a link and connecting: the Interface menu, the remembered link of
// the on-line button and the command line, the terminal's and the control
// port's place beside the connection.
#include "comm/TcpLink.h"
#include "ControlPort.h"
#include "dialogs/dlgConfigRS232.h"
#include "dialogs/dlgGPIB.h"
#include "dialogs/dlgLan.h"
#include "dialogs/frmTerminal.h"
#include "instrument/Instrument.h"
#include "instrument/InstrumentLink.h"
#include "MainMenu.h"
#include "MDIForm1.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QLineEdit>

namespace qle {

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
    m_connectionFailure.clear();
    LinkOptions link;
    if (aCommType == QLatin1String("RS232")) {
        if (!rs232Dialog().Execute(IsDirect))
            return;
        link.kind = LinkOptions::Kind::Serial;
        link.port = rs232Dialog().devicePath();
        link.baud = rs232Dialog().BaudRate();
        openLink(link);
    } else if (aCommType == QLatin1String("GPIB")) {
        if (!gpibDialog().Execute(IsDirect))
            return;
        link.kind = LinkOptions::Kind::Gpib;
        link.gpibBoard = gpibDialog().GPIBn();
        link.gpibAddress = gpibDialog().Address();
        openLink(link);
    } else if (aCommType == QLatin1String("TCP")) {
        if (!lanDialog().Execute(IsDirect))
            return;
        link.kind = LinkOptions::Kind::Tcp;
        link.host = lanDialog().address().host;
        link.tcpPort = lanDialog().address().port;
        openLink(link);
    } else if (aCommType == QLatin1String("Menu")) {
        BeginGetMachineType("Menu", DefaultMachineType);
    }
}

// Opens the link, then identifies the instrument on it. A socket connects
// while the window goes on.
void MDIForm1::openLink(const LinkOptions &link)
{
    constexpr double TcpConnectLimitSec = 10;
    LinkOptions opening = link;
    m_instrument->setLink(link);
    const bool waits = link.kind == LinkOptions::Kind::Tcp;
    if (waits) {
        opening.timeoutSec = TcpConnectLimitSec;
        MainFormState = 1;
        mainFormStateChanged();
        setStatusText("Connecting to " + link.describe() + "...");
    }
    openInstrumentLink(
        *m_engine, opening, platform::settings(), m_gpibDevice, [this, link, waits](const QString &error) {
            m_engine->setResponseTimeoutSec(CommTasker::ResponseTimeoutSec);
            if (error.isEmpty()) {
                BeginGetMachineType(link.commType(), QString());
                setStatusText("Getting the machine type...");
                return;
            }
            m_connectionFailure = error;
            if (waits) {
                MainFormState = 0;
                mainFormStateChanged();
            }
            const QString text = link.kind == LinkOptions::Kind::Gpib  ? "Config GPIB failed!\n" + error
                                 : link.kind == LinkOptions::Kind::Tcp ? "Open TCP Failed!\n" + error
                                                                       : QStringLiteral("Open RS232 Failed!");
            platform::messageBox().show(text, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::None);
        });
}

bool MDIForm1::isInstrumentLink() const
{
    return CommType == QLatin1String("RS232") || CommType == QLatin1String("GPIB") || CommType == QLatin1String("TCP");
}

dlgLan &MDIForm1::lanDialog()
{
    if (!m_dlgLan)
        m_dlgLan = std::make_unique<dlgLan>(this);
    return *m_dlgLan;
}

void MDIForm1::connectTcpAddress(const TcpAddress &address)
{
    lanDialog().remember(address);
    Setup("TCP", QString(), true);
}

void MDIForm1::mnuTerminal_Click()
{
    if (!m_terminal) {
        m_terminal = std::make_unique<frmTerminal>(*m_engine, this);
        updateTerminalLink();
    }
    m_terminal->show();
    m_terminal->raise();
    m_terminal->activateWindow();
    m_terminal->txtLine->setFocus();
}

void MDIForm1::mainFormStateChanged()
{
    m_instrument->setState(static_cast<ConnectionState>(MainFormState));
    updateTerminalLink();
    updateStartPage();
    wakeStatusLine();
}

void MDIForm1::updateTerminalLink()
{
    if (!m_terminal)
        return;
    if (MainFormState != 3)
        m_terminal->setLink(frmTerminal::Link::None);
    else
        m_terminal->setLink(CommType == QLatin1String("Menu") ? frmTerminal::Link::Testing
                                                              : frmTerminal::Link::Instrument);
    m_terminal->setErrorQuery(errorQueueQuery());
}

bool MDIForm1::connectRemembered()
{
    const QString link = platform::settings().GetSetting("Common", "CommType", QString());
    const QString model = platform::settings().GetSetting("Common", "MType", QString());
    if (link.isEmpty())
        return false;
    Setup(link, model, true);
    return true;
}

void MDIForm1::connectSerialDevice(const QString &path)
{
    // The on-line button's way for a remembered serial link: the link and
    // model are remembered once the panel runs.
    rs232Dialog().rememberDevice(path);
    Setup("RS232", QString(), true);
}

bool MDIForm1::startControlPort(quint16 port, QString *error)
{
    m_controlPort = std::make_unique<ControlPort>(*this);
    if (m_controlPort->listen(port))
        return true;
    *error = m_controlPort->errorString();
    m_controlPort.reset();
    return false;
}

quint16 MDIForm1::controlPort() const
{
    return m_controlPort ? m_controlPort->port() : 0;
}

void MDIForm1::SetupCommTasker()
{
    m_engine->IsRejectAnyTask = !isInstrumentLink();
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

void MDIForm1::mnuLan_Click()
{
    Setup("TCP", QString(), false);
}

void MDIForm1::mnuUSB_Click()
{
    rs232Dialog().setWindowTitle("Config USB");
    mnuRS232_Click();
    rs232Dialog().setWindowTitle("Config RS232");
}

void MDIForm1::mnuExit_Click()
{
    // The trace window would keep the program running on its own.
    if (close())
        QApplication::closeAllWindows();
}

} // namespace qle
