#include "GpibDeviceFactory.h"

#include "GpibLinkSettings.h"
#include "LinuxGpibApi.h"
#include "LinuxGpibDevice.h"
#include "PrologixGpibDevice.h"
#include "PrologixLink.h"
#include "VisaApi.h"
#include "VisaGpibDevice.h"

#include "platform/SettingsStore.h"

namespace qle::gpib {

namespace {
std::unique_ptr<GpibDevice> prologixUsb(const QString &port)
{
    return std::make_unique<PrologixGpibDevice>(std::make_unique<PrologixSerialLink>(port));
}

// A host that does not parse gives a device whose configure() fails, so the
// user sees the usual message instead of nothing happening.
std::unique_ptr<GpibDevice> prologixEthernet(const QString &text)
{
    const std::optional<HostAndPort> at = parseHostAndPort(text, PrologixGpibDevice::EthernetPort);
    const HostAndPort where = at.value_or(HostAndPort{text, 0});
    return std::make_unique<PrologixGpibDevice>(std::make_unique<PrologixTcpLink>(where.host, where.port));
}
} // namespace

std::unique_ptr<GpibDevice> createGpibDevice(const ISettingsStore &settings)
{
    const LinkSettings link = LinkSettings::read(settings);
    if (!link.backend)
        return nullptr;
    switch (*link.backend) {
    case Backend::Visa:
        return std::make_unique<VisaGpibDevice>();
    case Backend::LinuxGpib:
        return std::make_unique<LinuxGpibDevice>();
    case Backend::PrologixUsb:
        return prologixUsb(link.adapterPort);
    case Backend::PrologixEthernet:
        return prologixEthernet(link.adapterHost);
    case Backend::Auto:
        break;
    }
    if (visa::visaAvailable())
        return std::make_unique<VisaGpibDevice>();
    if (linuxgpib::linuxGpibAvailable())
        return std::make_unique<LinuxGpibDevice>();
    if (!link.adapterPort.isEmpty())
        return prologixUsb(link.adapterPort);
    if (!link.adapterHost.isEmpty())
        return prologixEthernet(link.adapterHost);
    return nullptr;
}

QString noDeviceReason(const ISettingsStore &settings)
{
    const LinkSettings link = LinkSettings::read(settings);
    if (!link.backend)
        return QStringLiteral(
                   "GPIB backend \"%1\" is unknown: auto, visa, linux-gpib, prologix-usb or prologix-ethernet")
            .arg(settings.GetSetting("GPIB", "Backend", QString()).trimmed());
    return QStringLiteral("no VISA library, no linux-gpib library and no Prologix adapter set");
}

} // namespace qle::gpib
