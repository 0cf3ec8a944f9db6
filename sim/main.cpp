#include "ModelTable.h"
#include "SignalWatcher.h"
#include "SimApp.h"
#include "SimOptions.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
void printLine(const QString &text, FILE *stream = stdout)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("psu-sim"));

    const psusim::ParsedOptions parsed = psusim::parseOptions(QCoreApplication::arguments());
    if (!parsed.options) {
        printLine(parsed.message, parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    if (parsed.options->listModels) {
        printLine(psusim::modelTableText());
        return 0;
    }

    psusim::SignalWatcher watcher;
    psusim::SimApp sim(*parsed.options);
    QString error;
    if (!sim.start(&error)) {
        printLine(QStringLiteral("psu-sim: %1\n").arg(error), stderr);
        return 1;
    }
    QObject::connect(&watcher, &psusim::SignalWatcher::terminationRequested, &app, &QCoreApplication::quit);
    QObject::connect(&sim, &psusim::SimApp::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&sim, &psusim::SimApp::addressChanged, &app,
                     [](const QString &address) { printLine(QStringLiteral("moved %1\n").arg(address)); });
    printLine(sim.address() + QLatin1Char('\n'));
    return app.exec();
}
