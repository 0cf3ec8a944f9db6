#include "frmAbout.h"

#include "platform/widgets/ModalRunner.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace qle {
namespace {

frmAbout::Launcher &launcher()
{
    static frmAbout::Launcher start = [](const QString &program) { return QProcess::startDetached(program, {}); };
    return start;
}

} // namespace

void frmAbout::setLauncher(Launcher start)
{
    launcher() = start ? std::move(start)
                       : Launcher([](const QString &program) { return QProcess::startDetached(program, {}); });
}

QString frmAbout::findSystemInfoTool()
{
#if defined(Q_OS_WIN)
    return QStandardPaths::findExecutable("msinfo32");
#elif defined(Q_OS_MACOS)
    const QString app = "/System/Applications/Utilities/System Information.app/Contents/MacOS/System Information";
    return QFileInfo::exists(app) ? app : QString();
#else
    for (const char *name : {"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor", "lshw-gtk"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
#endif
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent), m_sysInfo(new QPushButton("&System Info...", this))
{
    setObjectName("frmAbout");
    setWindowTitle("About " + QCoreApplication::applicationName());
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QCoreApplication::applicationName(), this);
    QFont font = title->font();
    font.setPointSize(font.pointSize() * 2);
    font.setBold(true);
    title->setFont(font);
    title->setObjectName("lblTitle");
    layout->addWidget(title);
    auto *version = new QLabel("Version " + QCoreApplication::applicationVersion(), this);
    version->setObjectName("lblVersion");
    layout->addWidget(version);
    layout->addWidget(new QLabel("Remote control and data logging for programmable DC power supplies.", this));
    auto *ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    m_sysInfo->setObjectName("cmdSysInfo");
    layout->addWidget(m_sysInfo);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    m_tool = findSystemInfoTool();
    m_sysInfo->setEnabled(!m_tool.isEmpty());
    connect(m_sysInfo, &QPushButton::clicked, this, [this] {
        if (!m_tool.isEmpty())
            launcher()(m_tool);
    });
}

void frmAbout::Execute()
{
    platform::modalRunner().exec(*this);
}

} // namespace qle
