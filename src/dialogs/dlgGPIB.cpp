#include "dlgGPIB.h"

#include "comm/gpib/GpibLinkSettings.h"
#include "comm/SerialPortCandidates.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include <algorithm>

namespace qle {
namespace {

const QString Section = QStringLiteral("GPIB");

// In the order of gpib::AllBackends.
const char *const BackendCaptions[] = {"auto", "VISA", "linux-gpib", "Prologix USB", "Prologix Ethernet"};

} // namespace

dlgGPIB::dlgGPIB(QWidget *parent)
    : SettingsDialog(parent), m_cmbGPIBn(addList(0, "cmbGPIBn", MaxBoard, "lblGPIBn", "GPIBn:")),
      m_cmbAddress(addList(1, "cmbAddress", MaxAddress, "lblAddress", "Address"))
{
    setWindowTitle("Dialog Caption");
    addLinkFields();
}

void dlgGPIB::addLinkFields()
{
    addLabel(2, 0, "lblBackend", "Backend:");
    m_cmbBackend = new QComboBox(this);
    m_cmbBackend->setObjectName("cmbBackend");
    for (const char *caption : BackendCaptions)
        m_cmbBackend->addItem(QString::fromLatin1(caption));
    fields()->addWidget(m_cmbBackend, 2, 1);

    addLabel(3, 0, "lblAdapterPort", "Adapter port:");
    m_cmbAdapterPort = new QComboBox(this);
    m_cmbAdapterPort->setObjectName("cmbAdapterPort");
    m_cmbAdapterPort->setEditable(true);
    m_cmbAdapterPort->setToolTip("Serial device of a Prologix GPIB-USB controller, e.g. /dev/ttyUSB0");
    fields()->addWidget(m_cmbAdapterPort, 3, 1);

    addLabel(4, 0, "lblAdapterHost", "Adapter host:");
    m_txtAdapterHost = new QLineEdit(this);
    m_txtAdapterHost->setObjectName("txtAdapterHost");
    m_txtAdapterHost->setPlaceholderText("host or host:port");
    m_txtAdapterHost->setToolTip("Address of a Prologix GPIB-ETHERNET controller; port 1234 unless given");
    fields()->addWidget(m_txtAdapterHost, 4, 1);

    connect(m_cmbBackend, &QComboBox::currentIndexChanged, this, &dlgGPIB::enableAdapterFields);
}

void dlgGPIB::enableAdapterFields()
{
    // Auto falls back to the USB adapter, then the network one.
    const auto backend = gpib::AllBackends.at(static_cast<std::size_t>(std::max(0, m_cmbBackend->currentIndex())));
    m_cmbAdapterPort->setEnabled(backend == gpib::Backend::Auto || backend == gpib::Backend::PrologixUsb);
    m_txtAdapterHost->setEnabled(backend == gpib::Backend::Auto || backend == gpib::Backend::PrologixEthernet);
}

void dlgGPIB::showLinkSettings()
{
    const gpib::LinkSettings link = gpib::LinkSettings::read(platform::settings());
    // A stored name the program does not know shows as "auto" and stays stored
    // unless another backend is picked.
    const auto at =
        std::find(gpib::AllBackends.begin(), gpib::AllBackends.end(), link.backend.value_or(gpib::Backend::Auto));
    m_shownBackend = static_cast<int>(at - gpib::AllBackends.begin());
    m_shownPort = link.adapterPort;
    m_shownHost = link.adapterHost;
    m_cmbBackend->setCurrentIndex(m_shownBackend);
    m_cmbAdapterPort->clear();
    for (const QString &port : systemSerialPorts())
        m_cmbAdapterPort->addItem(port);
    m_cmbAdapterPort->setCurrentText(m_shownPort);
    m_txtAdapterHost->setText(m_shownHost);
    enableAdapterFields();
}

void dlgGPIB::takeLinkSettings()
{
    ISettingsStore &store = platform::settings();
    if (m_cmbBackend->currentIndex() != m_shownBackend)
        store.SaveSetting(
            Section, "Backend",
            gpib::backendText(gpib::AllBackends.at(static_cast<std::size_t>(m_cmbBackend->currentIndex()))));
    if (const QString port = m_cmbAdapterPort->currentText().trimmed(); port != m_shownPort)
        store.SaveSetting(Section, "AdapterPort", port);
    if (const QString host = m_txtAdapterHost->text().trimmed(); host != m_shownHost)
        store.SaveSetting(Section, "AdapterHost", host);
}

QComboBox *dlgGPIB::addList(int row, const QString &name, int max, const QString &labelName, const QString &labelText)
{
    addLabel(row, 0, labelName, labelText);
    auto *list = new QComboBox(this);
    list->setObjectName(name);
    for (int n = 0; n <= max; ++n)
        list->addItem(QString::number(n));
    fields()->addWidget(list, row, 1);
    takesFirstFocus(list);
    return list;
}

bool dlgGPIB::Execute(bool IsDirect)
{
    GetSettings();
    m_cmbGPIBn->setCurrentIndex(m_gpibn);
    m_cmbAddress->setCurrentIndex(m_address);
    if (!IsDirect) {
        showLinkSettings();
        if (!runModal())
            return false;
        takeLinkSettings();
    }
    m_gpibn = m_cmbGPIBn->currentIndex();
    m_address = m_cmbAddress->currentIndex();
    SetSettings();
    return true;
}

void dlgGPIB::GetSettings()
{
    const ISettingsStore &store = platform::settings();
    m_gpibn = store.GetInt(Section, "GPIBn", 0, 0, MaxBoard);
    m_address = store.GetInt(Section, "Address", 0, 0, MaxAddress);
}

void dlgGPIB::SetSettings()
{
    ISettingsStore &store = platform::settings();
    store.SaveInt(Section, "GPIBn", m_gpibn);
    store.SaveInt(Section, "Address", m_address);
}

} // namespace qle
