#include "platform/DataFolder.h"
#include "platform/Platform.h"
#include "platform/Trace.h"
#include "platform/widgets/FrmDebug.h"
#include "platform/widgets/WidgetMessageBox.h"
#include "shell/MDIForm1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QStandardPaths>

#include <memory>

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

    int result = 1;
    {
        qle::MDIForm1 window(options);
        messageBox.setParent(&window);
        if (window.Start() == qle::MDIForm1::StartResult::Ready) {
            window.show();
            result = QApplication::exec();
        }
        messageBox.setParent(nullptr);
    }
    qle::setTraceSink(nullptr);
    return result;
}
