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

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("QLE");
    QApplication::setApplicationVersion(QStringLiteral(QLE_VERSION));
    QApplication::setWindowIcon(QIcon(":/app/qle.svg"));

    QCommandLineParser parser;
    parser.setApplicationDescription("Remote control and data logging for programmable DC power supplies.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption serialDevice("serial-device", "Offer PATH as a serial port (repeatable).", "PATH");
    const QCommandLineOption dataDir("data-dir", "Keep the catalogue and recordings (mtype.mdb) in DIR.", "DIR");
    const QCommandLineOption trace("trace", "Show the engine's trace in the Report window and KMAxLog.txt.");
    parser.addOption(serialDevice);
    parser.addOption(dataDir);
    parser.addOption(trace);
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
