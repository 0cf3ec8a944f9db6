#include "FrmDebug.h"

#include <QFile>
#include <QListWidget>
#include <QVBoxLayout>

namespace qle {
namespace {

// The log is created on the first load of the window and stays open for the
// rest of the run; later windows append to the same file.
QFile &logFile()
{
    static QFile file;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        file.setFileName("KMAxLog.txt");
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write("Version: 1.0\r\n");
            file.flush();
        }
    }
    return file;
}

} // namespace

frmDebug::frmDebug(QWidget *parent) : QWidget(parent), m_list(new QListWidget(this))
{
    setWindowTitle("Report");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    resize(480, 360);
    logFile();
}

void frmDebug::printd(const QString &message)
{
    m_list->addItem(message);
    QFile &log = logFile();
    if (log.isOpen()) {
        log.write(message.toUtf8());
        log.write("\r\n");
        log.flush();
    }
    if (m_list->count() > MaxListEntries)
        m_list->clear();
}

} // namespace qle
