// The port list and the automatic search of the serial link dialog.
#include "dlgConfigRS232.h"

#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

namespace qle {
namespace {

// Every instrument of the maker puts this into its identification answer.
const QString MakerPrefix = QStringLiteral("QV");

QStringList &extraPaths()
{
    static QStringList paths;
    return paths;
}

std::function<QStringList()> &systemLister()
{
    static std::function<QStringList()> lister;
    return lister;
}

QString itemText(const SerialCandidate &port)
{
    const QString name = "COM" + QString::number(port.number);
    return port.path == name ? name : name + "  " + port.path;
}

void information(const QString &text)
{
    platform::messageBox().show(text, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Information);
}

} // namespace

void dlgConfigRS232::setExtraDevicePaths(const QStringList &paths)
{
    extraPaths() = paths;
}

QStringList dlgConfigRS232::extraDevicePaths()
{
    return extraPaths();
}

void dlgConfigRS232::setSystemPortLister(std::function<QStringList()> lister)
{
    systemLister() = std::move(lister);
}

void dlgConfigRS232::EnumeratePorts()
{
    m_enumerated = true;
    m_foundPorts.clear();
    m_combo1->clear();

    // The engine's port is closed first so that its device can be tested too.
    if (m_enginePort.isOpen())
        m_enginePort.close();

    QStringList extras = extraPaths();
    extras.append(platform::settings().GetSetting("RS232", "DevicePath", QString()));
    const QStringList system = systemLister() ? systemLister()() : systemSerialPorts();

    for (const SerialCandidate &candidate : serialCandidates(system, extras)) {
        // Each device is opened on a port of its own and closed again at
        // once, so no device stays held after the list is built.
        QSerialPort test;
        test.setPortName(candidate.path);
        if (test.open(QIODevice::ReadWrite)) {
            test.close();
            m_foundPorts.append(candidate);
            m_combo1->addItem(itemText(candidate), candidate.path);
        }
        m_progress->setValue(candidate.number);
        // Only a search shows progress; otherwise nothing needs redrawing.
        if (m_searching)
            QCoreApplication::processEvents();
    }
}

void dlgConfigRS232::cmdAutoConn_Click()
{
    if (m_searching)
        return;
    m_searching = true;
    setInputsEnabled(false);
    const auto restore = qScopeGuard([this] {
        closeProbePort();
        m_progress->hide();
        setInputsEnabled(true);
        m_searching = false;
    });

    m_progress->setMaximum(m_combo1->count());
    m_progress->setValue(0);
    m_progress->show();
    EnumeratePorts();
    if (m_combo1->count() == 0) {
        information("Your Device cannot find any connected device with Serial Port.");
        return;
    }

    if (m_enginePort.isOpen())
        m_enginePort.close();
    const int rates = m_combo2->count();
    m_progress->setMaximum(rates * FoundPortCount());
    m_progress->setValue(0);

    // Rate-major: every device at 9600, then every device at 4800, ...;
    // within one rate from the highest port number down.
    bool searching = true;
    QString answer;
    for (int r = 0; r < rates && searching; ++r) {
        for (int p = FoundPortCount(); p >= 1 && searching; --p) {
            closeProbePort();
            m_combo1->setCurrentIndex(p - 1);
            m_combo2->setCurrentIndex(r);
            const SerialCandidate &port = m_foundPorts.at(p - 1);
            m_comPort = port.number;
            MSComm1.setPortName(port.path);
            m_baudRate = m_combo2->itemText(r).toInt();
            MSComm1.setBaudRate(m_baudRate);
            MSComm1.setDataBits(QSerialPort::Data8);
            MSComm1.setParity(QSerialPort::NoParity);
            MSComm1.setStopBits(QSerialPort::OneStop);
            MSComm1.setFlowControl(QSerialPort::NoFlowControl);
            if (!MSComm1.open(QIODevice::ReadWrite)) {
                const QString why = MSComm1.errorString();
                closeProbePort();
                m_progress->hide();
                platform::messageBox().show(why, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::None);
                return;
            }
            answer = Probe();
            if (answer.contains(MakerPrefix))
                searching = false;
            m_progress->setValue(m_progress->value() + 1);
            QCoreApplication::processEvents();
        }
    }
    closeProbePort();

    if (searching) {
        information("Please recheck Line connection and Device Setting of your device!\r\n"
                    "Or Please restart power device.\r\n"
                    "And then Retry [Auto Detect] again");
    } else {
        information("Detect Configuration Successfully!\r\nPorts: " + m_combo1->currentText() +
                    " ,Baud Rate:" + m_combo2->currentText() + "\r\n" + answer);
    }
}

// One identification attempt on the open MSComm1. The answer counts only
// when it is complete, i.e. ends with a line end.
QString dlgConfigRS232::Probe()
{
    // Whatever an earlier attempt left in the device is not this answer.
    MSComm1.clear(QSerialPort::Input);
    MSComm1.write("*IDN?\r\n");
    waitWithoutFreezing(m_probeWaitMsec);
    const QByteArray data = MSComm1.readAll();
    if (data.isEmpty() || (!data.endsWith('\r') && !data.endsWith('\n')))
        return QString();
    return QString::fromLatin1(data);
}

// Timers, replies and repainting go on; the user's input is held off by the
// disabled controls while the search runs.
void dlgConfigRS232::waitWithoutFreezing(int msec)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(msec);
    loop.exec();
}

void dlgConfigRS232::closeProbePort()
{
    if (MSComm1.isOpen())
        MSComm1.close();
}

} // namespace qle
