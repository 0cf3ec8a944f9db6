#include "comm/TcpLink.h"
#include "platform/DataFolder.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/Trace.h"
#include "platform/widgets/FrmDebug.h"
#include "platform/widgets/WidgetMessageBox.h"
#include "shell/MDIForm1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// The program's own command-line options; --help lists them with Qt's
// built-in -h/--help, --help-all and -v/--version.
struct CommandLine {
    const QCommandLineOption serialDevice{"serial-device", "Offer PATH as a serial port (repeatable).", "PATH"};
    const QCommandLineOption dataDir{"data-dir",
                                     "Keep the catalogue and recordings (mtype.mdb) in DIR instead of the "
                                     "program's folder or, when that is not writable, the per-user data folder.",
                                     "DIR"};
    const QCommandLineOption trace{"trace", "Show the engine's trace in the Report window and KMAxLog.txt "
                                            "(also QLE_TRACE=1 in the environment)."};
    const QCommandLineOption connect{"connect",
                                     "Connect at start to the instrument on the serial device PATH (offered as "
                                     "--serial-device does), or at tcp://HOST:PORT over a raw TCP socket, "
                                     "without dialogs.",
                                     "PATH"};
    const QCommandLineOption controlPort{"control-port",
                                         "Take script commands on TCP port N of 127.0.0.1 and ::1 (0: a free "
                                         "port, printed on standard error).",
                                         "N"};
    QCommandLineOption help{"help"};
    QCommandLineOption version{"version"};

    void describe(QCommandLineParser &parser)
    {
        parser.setApplicationDescription("Remote control and data logging for programmable DC power supplies.");
        help = parser.addHelpOption();
        version = parser.addVersionOption();
        parser.addOption(serialDevice);
        parser.addOption(dataDir);
        parser.addOption(trace);
        parser.addOption(connect);
        parser.addOption(controlPort);
    }
};

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName("QLE");
    QCoreApplication::setApplicationVersion(QStringLiteral(QLE_VERSION));
}

// --help and --version only print text: they are answered before any window
// system is contacted, so they also work in a terminal without a display.
// Returns when the command line asks for something else (--help-all too: it
// lists the options of QApplication, which needs the window system).
void answerTextOnlyOptions(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    CommandLine options;
    options.describe(parser);
    // Errors (an unknown option, or one of Qt's own such as -platform) are left
    // to the full parse below, after QApplication has taken its options.
    parser.parse(arguments);
    if (parser.optionNames().contains("help-all"))
        return;
    if (!parser.isSet(options.help) && !parser.isSet(options.version))
        return;
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    if (parser.isSet(options.version))
        parser.showVersion();
    parser.showHelp();
}

// "--connect tcp://HOST:PORT" names a raw TCP link; any other value is a serial device.
std::optional<qle::TcpAddress> tcpConnectAddress(const QString &value)
{
    if (!value.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive))
        return std::nullopt;
    return qle::TcpAddress::parse(value);
}

// The command line's port, else the stored one when the setting is on.
std::optional<quint16> controlPortChoice(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    const qle::ISettingsStore &store = qle::platform::settings();
    QString text = parser.value(option);
    if (text.isEmpty() && store.GetInt("ControlPort", "Enabled", 0, 0, 1) == 1)
        text = QString::number(store.GetInt("ControlPort", "Port", 5025, 0, 65535));
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "qle: --control-port wants a port number, not %s\n", qPrintable(text));
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

} // namespace

int main(int argc, char *argv[])
{
    answerTextOnlyOptions(argc, argv);

    QApplication app(argc, argv);
    setApplicationIdentity();
    QApplication::setWindowIcon(QIcon(":/app/qle.svg"));

    QCommandLineParser parser;
    CommandLine commandLine;
    commandLine.describe(parser);
    const QCommandLineOption &serialDevice = commandLine.serialDevice;
    const QCommandLineOption &dataDir = commandLine.dataDir;
    const QCommandLineOption &trace = commandLine.trace;
    parser.process(app);

    qle::WidgetMessageBox messageBox;
    qle::platform::setMessageBox(&messageBox);

    std::unique_ptr<qle::frmDebug> traceWindow;
    if (parser.isSet(trace) || qEnvironmentVariableIntValue("QLE_TRACE") != 0) {
        traceWindow = std::make_unique<qle::frmDebug>();
        qle::setTraceSink(traceWindow.get());
        traceWindow->show();
    }

    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString shipped = qle::DataFolder::shippedCatalogue(exeDir);
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const qle::DataFolder::Choice folder = qle::DataFolder::resolve(parser.value(dataDir), exeDir, perUser, shipped);

    qle::ShellOptions options;
    options.dataFolder = folder.folder;
    options.shippedCatalogue = shipped;
    options.serialDevices = parser.values(serialDevice);
    const QString connectDevice = parser.value(commandLine.connect);
    if (!connectDevice.isEmpty() && !tcpConnectAddress(connectDevice)) {
        if (connectDevice.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
            std::fprintf(stderr, "qle: --connect tcp:// wants HOST:PORT, not %s\n", qPrintable(connectDevice));
            return 2;
        }
        options.serialDevices.append(connectDevice);
    }
    const std::optional<quint16> controlPort = controlPortChoice(parser, commandLine.controlPort);
    options.unattended = !connectDevice.isEmpty() || controlPort.has_value();

    int result = 1;
    {
        qle::MDIForm1 window(options);
        messageBox.setParent(&window);
        if (window.Start() == qle::MDIForm1::StartResult::Ready) {
            window.show();
            if (const std::optional<quint16> port = controlPort) {
                QString error;
                if (window.startControlPort(*port, &error))
                    std::fprintf(stderr, "qle: control port %u on 127.0.0.1 and ::1\n", window.controlPort());
                else
                    std::fprintf(stderr, "qle: control port %u: %s\n", *port, qPrintable(error));
            }
            if (const std::optional<qle::TcpAddress> address = tcpConnectAddress(connectDevice))
                QTimer::singleShot(0, &window, [&window, address] { window.connectTcpAddress(*address); });
            else if (!connectDevice.isEmpty())
                QTimer::singleShot(0, &window, [&window, connectDevice] { window.connectSerialDevice(connectDevice); });
            result = QApplication::exec();
        }
        messageBox.setParent(nullptr);
    }
    qle::setTraceSink(nullptr);
    return result;
}
