#include "GpibLinkSettings.h"

#include "platform/SettingsStore.h"

namespace qle::gpib {

std::optional<Backend> backendFromText(const QString &text)
{
    const QString name = text.trimmed().toLower();
    if (name.isEmpty() || name == QLatin1String("auto"))
        return Backend::Auto;
    if (name == QLatin1String("visa"))
        return Backend::Visa;
    if (name == QLatin1String("linux-gpib"))
        return Backend::LinuxGpib;
    if (name == QLatin1String("prologix-usb"))
        return Backend::PrologixUsb;
    if (name == QLatin1String("prologix-ethernet"))
        return Backend::PrologixEthernet;
    return std::nullopt;
}

QString backendText(Backend backend)
{
    switch (backend) {
    case Backend::Visa:
        return QStringLiteral("visa");
    case Backend::LinuxGpib:
        return QStringLiteral("linux-gpib");
    case Backend::PrologixUsb:
        return QStringLiteral("prologix-usb");
    case Backend::PrologixEthernet:
        return QStringLiteral("prologix-ethernet");
    case Backend::Auto:
        break;
    }
    return QStringLiteral("auto");
}

LinkSettings LinkSettings::read(const ISettingsStore &settings)
{
    LinkSettings link;
    link.backend = backendFromText(settings.GetSetting("GPIB", "Backend", "auto"));
    link.adapterPort = settings.GetSetting("GPIB", "AdapterPort", QString()).trimmed();
    link.adapterHost = settings.GetSetting("GPIB", "AdapterHost", QString()).trimmed();
    return link;
}

std::optional<HostAndPort> parseHostAndPort(const QString &text, quint16 defaultPort)
{
    const QString trimmed = text.trimmed();
    QString host = trimmed;
    QString port;
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return std::nullopt;
            port = rest.mid(1);
        }
    } else if (trimmed.count(u':') == 1) {
        const qsizetype colon = trimmed.indexOf(u':');
        host = trimmed.left(colon);
        port = trimmed.mid(colon + 1);
    }
    if (host.isEmpty())
        return std::nullopt;
    if (port.isNull())
        return HostAndPort{host, defaultPort};
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number == 0 || number > 65535)
        return std::nullopt;
    return HostAndPort{host, static_cast<quint16>(number)};
}

} // namespace qle::gpib
