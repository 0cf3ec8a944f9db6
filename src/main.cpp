#include "comm/CommTasker.h"
#include "platform/Platform.h"
#include "platform/Trace.h"
#include "platform/widgets/FrmDebug.h"
#include "platform/widgets/WidgetMessageBox.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMainWindow>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("QLE");
    QApplication::setApplicationVersion("1.0");

    QCommandLineParser parser;
    parser.setApplicationDescription("Remote control and data logging for programmable DC power supplies.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption serialDevice("serial-device", "Offer PATH as a serial port (repeatable).", "PATH");
    const QCommandLineOption trace("trace", "Show the engine's trace in the Report window and KMAxLog.txt.");
    parser.addOption(serialDevice);
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

    qle::CommTasker engine;
    QMainWindow window;
    window.setWindowTitle("QLE");
    window.resize(640, 480);
    window.show();
    const int result = QApplication::exec();
    qle::setTraceSink(nullptr);
    return result;
}
