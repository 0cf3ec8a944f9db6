#include "dlgLan.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QSpinBox>

namespace qle {
namespace {

const QString Section = QStringLiteral("TCP");

} // namespace

dlgLan::dlgLan(QWidget *parent) : SettingsDialog(parent), m_host(new QLineEdit(this))
{
    setWindowTitle("LAN (TCP)");
    m_host->setObjectName("txtHost");
    m_host->setPlaceholderText("192.168.1.50");
    addLabel(0, 0, "lblHost", "Host");
    fields()->addWidget(m_host, 0, 1);
    m_port = addNumber(1, "numPort", 1, 65535, "lblPort", "Port");
    takesFirstFocus(m_host);
}

std::optional<TcpAddress> dlgLan::stored()
{
    const ISettingsStore &store = platform::settings();
    const QString host = store.GetSetting(Section, "Host", QString()).trimmed();
    const int port = store.GetInt(Section, "Port", DefaultPort, 1, 65535);
    if (host.isEmpty())
        return std::nullopt;
    return TcpAddress{host, static_cast<quint16>(port)};
}

void dlgLan::remember(const TcpAddress &address)
{
    m_address = address;
    platform::settings().SaveSetting(Section, "Host", address.host);
    platform::settings().SaveInt(Section, "Port", address.port);
}

bool dlgLan::Execute(bool IsDirect)
{
    const std::optional<TcpAddress> known = stored();
    if (IsDirect && known) {
        m_address = *known;
        return true;
    }
    m_host->setText(known ? known->host : QString());
    m_port->setValue(known ? known->port : DefaultPort);
    while (runModal()) {
        // "host:port" typed into the host field is taken apart.
        const QString host = m_host->text().trimmed();
        std::optional<TcpAddress> typed =
            TcpAddress::parse(TcpAddress{host, static_cast<quint16>(m_port->value())}.text());
        if (!typed && host.contains(u':'))
            typed = TcpAddress::parse(host);
        if (typed) {
            remember(*typed);
            return true;
        }
        m_host->setFocus();
        m_host->selectAll();
    }
    return false;
}

} // namespace qle
