#include "InstrumentLink.h"

#include "comm/gpib/GpibDeviceFactory.h"
#include "comm/GpibDevice.h"
#include "comm/SerialLink.h"
#include "comm/TcpLink.h"

namespace qle {

QString LinkOptions::describe() const
{
    switch (kind) {
    case Kind::Serial:
        return "serial port " + port;
    case Kind::Tcp:
        return "TCP " + TcpAddress{host, tcpPort}.text();
    case Kind::Gpib:
        return QStringLiteral("GPIB %1:%2").arg(gpibBoard).arg(gpibAddress);
    case Kind::None:
        break;
    }
    return QStringLiteral("no link");
}

QString LinkOptions::commType() const
{
    switch (kind) {
    case Kind::Serial:
        return QStringLiteral("RS232");
    case Kind::Tcp:
        return QStringLiteral("TCP");
    case Kind::Gpib:
        return QStringLiteral("GPIB");
    case Kind::None:
        break;
    }
    return {};
}

namespace {

QString openGpib(CommTasker &engine, const LinkOptions &link, const ISettingsStore &settings,
                 std::unique_ptr<GpibDevice> &gpib)
{
    // A device installed from outside (a test's) stays; otherwise the backend
    // is chosen afresh from the settings at each opening.
    if (!engine.gpibDevice() || engine.gpibDevice() == gpib.get()) {
        engine.setGpibDevice(nullptr);
        gpib = gpib::createGpibDevice(settings);
        engine.setGpibDevice(gpib.get());
    }
    GpibDevice *device = engine.gpibDevice();
    if (!device)
        return gpib::noDeviceReason(settings);
    if (!device->configure(link.gpibBoard, link.gpibAddress)) {
        const QString cause = device->lastError();
        return cause.isEmpty() ? QStringLiteral("the GPIB backend cannot reach board %1, address %2")
                                     .arg(link.gpibBoard)
                                     .arg(link.gpibAddress)
                               : cause;
    }
    return {};
}

} // namespace

void openInstrumentLink(CommTasker &engine, const LinkOptions &link, const ISettingsStore &settings,
                        std::unique_ptr<GpibDevice> &gpib, const std::function<void(const QString &error)> &done)
{
    engine.setResponseTimeoutSec(link.timeoutSec);
    const auto opened = [&engine, link, done](const QString &error) {
        if (error.isEmpty()) {
            engine.CommType = link.commType();
            engine.linkOpened();
        }
        done(error);
    };
    switch (link.kind) {
    case LinkOptions::Kind::Serial: {
        QString error;
        if (link.port.isEmpty())
            error = QStringLiteral("no serial port chosen");
        else if (!openSerialPort(engine.MSComm1, link.port, link.baud, &error) && error.isEmpty())
            error = "cannot open " + link.port;
        opened(error);
        return;
    }
    case LinkOptions::Kind::Tcp:
        connectTcpLink(engine.MSTcp, {link.host, link.tcpPort}, static_cast<int>(link.timeoutSec * 1000), opened);
        return;
    case LinkOptions::Kind::Gpib:
        opened(openGpib(engine, link, settings, gpib));
        return;
    case LinkOptions::Kind::None:
        break;
    }
    done(QStringLiteral("no link given"));
}

} // namespace qle
