#include "dlgConfigRS232.h"

#include "comm/CommTasker.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/widgets/ModalRunner.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qle {
namespace {

const QString Section = QStringLiteral("RS232");

} // namespace

dlgConfigRS232::dlgConfigRS232(CommTasker &engine, QWidget *parent)
    : QDialog(parent), m_enginePort(engine.MSComm1), m_combo1(new QComboBox(this)), m_combo2(new QComboBox(this)),
      m_autoConn(new QPushButton("Auto Dectect", this)), m_progress(new QProgressBar(this)),
      m_ok(new QPushButton("OK", this)), m_cancel(new QPushButton("Cancel", this))
{
    setWindowTitle("Config RS232");
    m_combo1->setObjectName("Combo1");
    m_combo1->setMinimumContentsLength(24);
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo2->setObjectName("Combo2");
    m_combo2->addItems({"9600", "4800", "2400", "1200"});
    m_autoConn->setObjectName("cmdAutoConn");
    m_progress->setObjectName("ProgressBar1");
    m_progress->setMinimum(0);
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_ok->setObjectName("OKButton");
    m_ok->setDefault(true);
    m_cancel->setObjectName("CancelButton");

    auto *grid = new QGridLayout;
    grid->addWidget(addLabel("lblPorts", "Ports"), 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(addLabel("lblBaudRate", "Baud Rate"), 1, 0);
    grid->addWidget(m_combo2, 1, 1);
    grid->addWidget(addLabel("lblDataBits", "Data Bits: 8 bits"), 2, 0, 1, 2);
    grid->addWidget(addLabel("lblParityBit", "Parity Bit: None"), 3, 0, 1, 2);
    grid->addWidget(addLabel("lblStopBit", "Stop Bit: 1 bit"), 4, 0, 1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_autoConn);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(m_autoConn, &QPushButton::clicked, this, &dlgConfigRS232::cmdAutoConn_Click);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        m_okFlag = true;
        accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &dlgConfigRS232::reject);
}

QLabel *dlgConfigRS232::addLabel(const QString &name, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

bool dlgConfigRS232::Execute(bool IsDirect)
{
    // The list is rebuilt whenever the user is to pick from it: adapters come
    // and go between uses. A direct reconnect needs it only once.
    if (!IsDirect || !m_enumerated)
        EnumeratePorts();
    GetSettings();
    selectStoredChoice(IsDirect);
    m_okFlag = IsDirect;
    if (!IsDirect)
        platform::modalRunner().exec(*this);
    if (!m_okFlag)
        return false;
    return takeChoice(IsDirect);
}

// The stored position, or the stored device wherever it is listed now.
void dlgConfigRS232::selectStoredChoice(bool IsDirect)
{
    int portIndex = m_comPortIndex >= 0 && m_comPortIndex < m_combo1->count() ? m_comPortIndex : -1;
    if (!m_devicePath.isEmpty()) {
        const int listed = m_combo1->findData(m_devicePath);
        if (listed >= 0)
            portIndex = listed;
        else if (IsDirect)
            portIndex = -1; // reconnect to that device, not to whatever took its place
    }
    m_combo1->setCurrentIndex(portIndex);
    m_combo2->setCurrentIndex(m_baudRateIndex >= 0 && m_baudRateIndex < m_combo2->count() ? m_baudRateIndex : -1);
}

bool dlgConfigRS232::takeChoice(bool IsDirect)
{
    const int rateIndex = m_combo2->currentIndex();
    bool rateOk = false;
    const int rate = m_combo2->currentText().toInt(&rateOk);
    if (rateIndex < 0 || !rateOk)
        return false;

    const int portIndex = m_combo1->currentIndex();
    if (portIndex >= 0) {
        const int number = portNumberFromText(m_combo1->currentText());
        if (number <= 0)
            return false;
        m_comPortIndex = portIndex;
        m_comPort = number;
        m_devicePath = m_combo1->currentData().toString();
    } else if (!IsDirect || m_devicePath.isEmpty()) {
        // Nothing selected, and no remembered device to fall back on.
        return false;
    }
    m_baudRateIndex = rateIndex;
    m_baudRate = rate;
    SetSettings();
    return true;
}

void dlgConfigRS232::rememberDevice(const QString &path)
{
    GetSettings();
    m_devicePath = path;
    SetSettings();
}

void dlgConfigRS232::GetSettings()
{
    const ISettingsStore &store = platform::settings();
    m_comPort = store.GetInt(Section, "ComPort", 1, 1, MaxSerialPortNumber);
    m_baudRate = store.GetInt(Section, "BaudRate", 9600, 1, 4000000);
    m_comPortIndex = store.GetInt(Section, "ComPortIndex", 0, -1, 32767);
    m_baudRateIndex = store.GetInt(Section, "BaudRateIndex", 0, -1, 32767);
    m_devicePath = store.GetSetting(Section, "DevicePath", QString());
}

void dlgConfigRS232::SetSettings()
{
    ISettingsStore &store = platform::settings();
    store.SaveInt(Section, "ComPort", m_comPort);
    store.SaveInt(Section, "BaudRate", m_baudRate);
    store.SaveInt(Section, "ComPortIndex", m_comPortIndex);
    store.SaveInt(Section, "BaudRateIndex", m_baudRateIndex);
    store.SaveSetting(Section, "DevicePath", m_devicePath);
}

void dlgConfigRS232::reject()
{
    // Escape and the window's close button wait for a running search.
    if (m_searching)
        return;
    m_okFlag = false;
    QDialog::reject();
}

void dlgConfigRS232::setInputsEnabled(bool enabled)
{
    for (QWidget *input :
         {static_cast<QWidget *>(m_combo1), static_cast<QWidget *>(m_combo2), static_cast<QWidget *>(m_autoConn),
          static_cast<QWidget *>(m_ok), static_cast<QWidget *>(m_cancel)})
        input->setEnabled(enabled);
}

} // namespace qle
