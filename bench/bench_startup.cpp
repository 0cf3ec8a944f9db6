// Start-up: from process start to the first paint of the main window
// (qle::MDIForm1, started and shown as main() does), against a bare Qt main
// window started the same way. Each run is a fresh process; the two kinds
// alternate. The program runs itself as the child with --child.
#include "BenchSupport.h"

#include "shell/MDIForm1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace qle;
using namespace qle::bench;

namespace {

// Notes the first paint of a window, then reports once that paint is done.
class FirstPaint final : public QObject {
public:
    FirstPaint(QWidget &window, std::chrono::steady_clock::time_point mainStarted)
        : m_window(window), m_mainStarted(mainStarted)
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == &m_window) {
            m_seen = true;
            // Runs after the paint pass that this event belongs to has finished.
            QTimer::singleShot(0, this, [this] {
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_mainStarted).count();
                std::printf("painted %.3f\n", ms);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget &m_window;
    std::chrono::steady_clock::time_point m_mainStarted;
    bool m_seen = false;
};

int runChild(int argc, char *argv[], const QString &kind, const QString &dataDir,
             std::chrono::steady_clock::time_point mainStarted)
{
    QApplication app(argc, argv);
    QuietMessageBox boxes;
    if (kind == QLatin1String("bare")) {
        QMainWindow window;
        window.setWindowTitle("bare");
        window.setCentralWidget(new QMdiArea(&window));
        window.statusBar();
        FirstPaint watch(window, mainStarted);
        window.show();
        return QApplication::exec();
    }
    ShellOptions options;
    options.dataFolder = dataDir;
    options.shippedCatalogue = QStringLiteral(QLE_SHIPPED_CATALOGUE);
    MDIForm1 window(options);
    if (window.Start() != MDIForm1::StartResult::Ready)
        return 2;
    FirstPaint watch(window, mainStarted);
    window.show();
    return QApplication::exec();
}

struct ChildRun {
    double processMs = -1; // spawn to the line after the first paint, measured here
    double mainMs = -1;    // main() to the first paint, measured by the child
};

ChildRun spawn(const QString &kind, const QTemporaryDir &tmp, int run)
{
    ChildRun r;
    const QString data = tmp.filePath(QStringLiteral("data-%1").arg(run));
    QDir().mkpath(data);
    QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), data + "/mtype.mdb");
    QFile::setPermissions(data + "/mtype.mdb", QFile::ReadOwner | QFile::WriteOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double t0 = nowMs();
    child.start(QCoreApplication::applicationFilePath(), {"--child", kind, "--data", data});
    while (child.waitForReadyRead(10000)) {
        if (child.canReadLine()) {
            r.processMs = nowMs() - t0;
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("painted "))
                r.mainMs = line.mid(8).toDouble();
            break;
        }
    }
    if (!child.waitForFinished(10000))
        child.kill();
    return r;
}

QString list(const QList<double> &values)
{
    QStringList parts;
    for (double v : values)
        parts.append(QString::number(v, 'f', 1));
    return parts.join(' ');
}

} // namespace

int main(int argc, char *argv[])
{
    const auto mainStarted = std::chrono::steady_clock::now();
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--child") == 0) {
            const QString kind = QString::fromLocal8Bit(argv[i + 1]);
            QString data;
            for (int j = 1; j + 1 < argc; ++j)
                if (qstrcmp(argv[j], "--data") == 0)
                    data = QString::fromLocal8Bit(argv[j + 1]);
            return runChild(argc, argv, kind, data, mainStarted);
        }
    }

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption repsOption("reps", "Start-ups of each kind (default 7).", "N", "7");
    parser.addHelpOption();
    parser.addOption(repsOption);
    parser.process(app);
    const int reps = std::max(1, parser.value(repsOption).toInt());

    printHeader("start-up to the first paint of the main window (offscreen)");
    QTemporaryDir tmp;
    // One unmeasured start of each, so that both find the libraries in the page cache.
    spawn("qle", tmp, 0);
    spawn("bare", tmp, 0);
    QList<double> qleProcess, qleMain, bareProcess, bareMain;
    for (int i = 1; i <= reps; ++i) {
        const ChildRun a = spawn("qle", tmp, i);
        const ChildRun b = spawn("bare", tmp, i);
        if (a.processMs < 0 || b.processMs < 0 || a.mainMs < 0 || b.mainMs < 0) {
            printNotAvailable("start-up to first paint", "a child did not report its first paint");
            return 1;
        }
        qleProcess.append(a.processMs);
        qleMain.append(a.mainMs);
        bareProcess.append(b.processMs);
        bareMain.append(b.mainMs);
    }
    print({"start-up: process start to first paint", median(qleProcess), "ms", "bare Qt window", median(bareProcess),
           "none set", std::nullopt, ""});
    print({"start-up: main() to first paint", median(qleMain), "ms", "bare Qt window", median(bareMain), "none set",
           std::nullopt, ""});
    printDetail(QStringLiteral("%1 alternating start-ups each; main window ms: %2; bare window ms: %3")
                    .arg(reps)
                    .arg(list(qleProcess), list(bareProcess)));
    return 0;
}
