// Choosing the GPIB backend from the settings.
#include "GpibDeviceFactory.h"
#include "GpibLinkSettings.h"
#include "platform/SettingsStore.h"
#include "PrologixGpibDevice.h"

#include <QMap>
#include <QTest>

using namespace qle;
using namespace qle::gpib;

namespace {

class Settings final : public ISettingsStore {
public:
    [[nodiscard]] QString GetSetting(const QString &section, const QString &key,
                                     const QString &defaultValue) const override
    {
        return values.value(section + "/" + key, defaultValue);
    }
    void SaveSetting(const QString &section, const QString &key, const QString &value) override
    {
        values.insert(section + "/" + key, value);
    }
    QMap<QString, QString> values;
};

constexpr char Missing[] = "/nonexistent/libqle-no-gpib.so";

// What the factory made: the class and, for a controller, where it goes.
QString describe(const GpibDevice *device)
{
    if (!device)
        return QStringLiteral("none");
    QString text = QString::fromLatin1(device->metaObject()->className()).remove(QStringLiteral("qle::"));
    if (const auto *prologix = qobject_cast<const PrologixGpibDevice *>(device))
        text += u' ' + prologix->adapterLocation();
    return text;
}

} // namespace

class TestGpibFactory : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        qunsetenv("QLE_VISA_LIBRARY");
        qunsetenv("QLE_LINUX_GPIB_LIBRARY");
    }

    void backendNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("backend"); // -1: none
        QTest::newRow("missing key") << QString() << int(Backend::Auto);
        QTest::newRow("auto") << "auto" << int(Backend::Auto);
        QTest::newRow("visa") << "visa" << int(Backend::Visa);
        QTest::newRow("linux-gpib") << "linux-gpib" << int(Backend::LinuxGpib);
        QTest::newRow("prologix-usb") << "prologix-usb" << int(Backend::PrologixUsb);
        QTest::newRow("prologix-ethernet, any case, spaces") << " Prologix-Ethernet " << int(Backend::PrologixEthernet);
        QTest::newRow("unknown") << "ni-488" << -1;
    }
    void backendNames()
    {
        QFETCH(QString, text);
        QFETCH(int, backend);
        const std::optional<Backend> parsed = backendFromText(text);
        QCOMPARE(parsed ? int(*parsed) : -1, backend);
    }

    void adapterHosts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("name only") << "prologix.lab"
                                   << "prologix.lab" << 1234;
        QTest::newRow("address and port") << "192.168.1.40:5000"
                                          << "192.168.1.40" << 5000;
        QTest::newRow("v6 in brackets") << "[fe80::1]:1234"
                                        << "fe80::1" << 1234;
        QTest::newRow("v6 without port") << "[::1]"
                                         << "::1" << 1234;
        QTest::newRow("bad port") << "host:http"
                                  << "" << 0;
        QTest::newRow("port out of range") << "host:70000"
                                           << "" << 0;
        QTest::newRow("no host") << ":1234"
                                 << "" << 0;
    }
    void adapterHosts()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const std::optional<HostAndPort> parsed = parseHostAndPort(text, PrologixGpibDevice::EthernetPort);
        QCOMPARE(parsed ? parsed->host : QString(), host);
        QCOMPARE(parsed ? int(parsed->port) : 0, port);
    }

    void choice_data()
    {
        QTest::addColumn<bool>("visaLoads");
        QTest::addColumn<bool>("linuxGpibLoads");
        QTest::addColumn<QString>("backend"); // empty: key missing
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("made");

        QTest::newRow("auto: VISA first") << true << true << ""
                                          << "/dev/ttyUSB0"
                                          << ""
                                          << "VisaGpibDevice";
        QTest::newRow("auto: then linux-gpib") << false << true << "auto"
                                               << "/dev/ttyUSB0"
                                               << ""
                                               << "LinuxGpibDevice";
        QTest::newRow("auto: then the USB adapter") << false << false << "auto"
                                                    << "/dev/ttyUSB0"
                                                    << "lab:99"
                                                    << "PrologixGpibDevice /dev/ttyUSB0";
        QTest::newRow("auto: then the Ethernet adapter") << false << false << ""
                                                         << ""
                                                         << "lab"
                                                         << "PrologixGpibDevice lab:1234";
        QTest::newRow("auto: nothing configured") << false << false << "auto"
                                                  << ""
                                                  << ""
                                                  << "none";
        QTest::newRow("visa asked for, not installed") << false << true << "visa"
                                                       << ""
                                                       << ""
                                                       << "VisaGpibDevice";
        QTest::newRow("linux-gpib asked for") << true << true << "linux-gpib"
                                              << ""
                                              << ""
                                              << "LinuxGpibDevice";
        QTest::newRow("USB adapter asked for") << true << true << "prologix-usb"
                                               << "/dev/ttyACM3"
                                               << ""
                                               << "PrologixGpibDevice /dev/ttyACM3";
        QTest::newRow("Ethernet adapter asked for") << true << true << "prologix-ethernet"
                                                    << "/dev/ttyUSB0"
                                                    << "10.0.0.7:4000"
                                                    << "PrologixGpibDevice 10.0.0.7:4000";
        QTest::newRow("unknown backend") << true << true << "gpib-magic"
                                         << "/dev/ttyUSB0"
                                         << ""
                                         << "none";
    }
    void choice()
    {
        QFETCH(bool, visaLoads);
        QFETCH(bool, linuxGpibLoads);
        QFETCH(QString, backend);
        QFETCH(QString, port);
        QFETCH(QString, host);
        QFETCH(QString, made);
        qputenv("QLE_VISA_LIBRARY", visaLoads ? QLE_STANDIN_VISA : Missing);
        qputenv("QLE_LINUX_GPIB_LIBRARY", linuxGpibLoads ? QLE_STANDIN_LINUX_GPIB : Missing);
        Settings settings;
        if (!backend.isEmpty())
            settings.values["GPIB/Backend"] = backend;
        settings.values["GPIB/AdapterPort"] = port;
        settings.values["GPIB/AdapterHost"] = host;
        const std::unique_ptr<GpibDevice> device = createGpibDevice(settings);
        QCOMPARE(describe(device.get()), made);
    }

    // A library that loads but lacks an entry point the program needs is not VISA.
    void incompleteLibraryIsNotChosen()
    {
        qputenv("QLE_VISA_LIBRARY", QLE_STANDIN_LINUX_GPIB);
        qputenv("QLE_LINUX_GPIB_LIBRARY", QLE_STANDIN_VISA);
        Settings settings;
        QCOMPARE(describe(createGpibDevice(settings).get()), QString("none"));
    }
};

QTEST_GUILESS_MAIN(TestGpibFactory)
#include "tst_gpib_factory.moc"
