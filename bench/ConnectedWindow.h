#pragma once

// The main window connected to the virtual instrument as a user connects it:
// Interface > RS232, the serial dialog answered with the instrument's port at
// the first offered rate, the initial read run for real.
#include "BenchSupport.h"

#include "comm/CommTasker.h"
#include "dialogs/dlgConfigRS232.h"
#include "panels/Panel.h"
#include "platform/widgets/ModalRunner.h"
#include "shell/MDIForm1.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace qle::bench {

// Before the QApplication: settings in `tmp`, and no display needed.
inline void useScratchSettings(const QTemporaryDir &tmp)
{
    qputenv("XDG_CONFIG_HOME", tmp.filePath("config").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Done> bool waitFor(Done done, int timeoutMs)
{
    const double until = nowMs() + timeoutMs;
    while (!done()) {
        if (nowMs() > until)
            return false;
        pause(10);
    }
    return true;
}

// CPU time of this process over `ms` of running the event loop, as % of one core.
inline double idleCpuPercent(int ms)
{
    const double cpu0 = cpuMs();
    const double t0 = nowMs();
    pause(ms);
    return 100.0 * (cpuMs() - cpu0) / (nowMs() - t0);
}

// Answers the serial dialog with the first offered device at the first baud
// rate; every later dialog (the initial read's) runs for real.
class ConnectingRunner final : public IModalRunner {
public:
    ConnectingRunner() { platform::setModalRunner(this); }
    ~ConnectingRunner() override { platform::setModalRunner(nullptr); }
    ConnectingRunner(const ConnectingRunner &) = delete;
    ConnectingRunner &operator=(const ConnectingRunner &) = delete;
    int exec(QDialog &dialog) override
    {
        if (auto *serial = qobject_cast<dlgConfigRS232 *>(&dialog)) {
            serial->Combo1()->setCurrentIndex(0);
            serial->Combo2()->setCurrentIndex(0);
            dialog.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        }
        return dialog.exec();
    }
};

// A main window on `dataFolder` (a catalogue is put there) connected to the
// instrument at `link`, its panel open and the engine idle; nullptr when that
// did not happen within the time limits.
inline std::unique_ptr<MDIForm1> connectedWindow(const QString &dataFolder, const QString &link)
{
    QDir().mkpath(dataFolder);
    QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), dataFolder + "/mtype.mdb");
    QFile::setPermissions(dataFolder + "/mtype.mdb", QFile::ReadOwner | QFile::WriteOwner);
    dlgConfigRS232::setSystemPortLister([] { return QStringList(); });

    ShellOptions options;
    options.dataFolder = dataFolder;
    options.shippedCatalogue = QStringLiteral(QLE_SHIPPED_CATALOGUE);
    options.serialDevices = {link};
    auto window = std::make_unique<MDIForm1>(options);
    if (window->Start() != MDIForm1::StartResult::Ready)
        return nullptr;
    window->show();
    window->mnuRS232_Click();
    MDIForm1 &w = *window;
    if (!waitFor([&] { return w.MainFormState == 3 && w.currentPanel() && w.currentPanel()->isVisibleTo(&w); }, 15000))
        return nullptr;
    CommTasker &engine = w.engine();
    if (!waitFor(
            [&] {
                return engine.QueryTaskCount + engine.CmdTaskCount == 0 && !engine.IsQueryPending &&
                       !engine.IsCommandPending;
            },
            10000))
        return nullptr;
    return window;
}

} // namespace qle::bench
