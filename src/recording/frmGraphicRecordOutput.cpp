// The graph recorder's outputs: the working table as a CSV file, and the
// graph on paper.
#include "frmGraphicRecord.h"

#include "ExportCsv.h"
#include "ExportFileDialog.h"
#include "GraphView.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "PrintDialog.h"
#include "PrintGraph.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace qle {
namespace {

const char *const ExportFilter = "Power文件(*.csv)";

} // namespace

void frmGraphicRecord::cmdExport_Click()
{
    if (lIdx < 1) {
        showInformation("Please Record or Load existing data first!");
        return;
    }
    // The program's data folder is where its record file is.
    const QString databaseFile = m_db.isValid() ? m_db.databaseName() : QString();
    const QString folder = databaseFile.isEmpty() ? QDir::currentPath() : QFileInfo(databaseFile).absolutePath();
    const QString path = recording::fileDialogs().saveFileName(this, folder, QString::fromUtf8(ExportFilter));
    if (path.isEmpty())
        return;
    QString error;
    if (!ExportCsv::write(m_db, channels(), path, &error))
        platform::messageBox().show(error, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

void frmGraphicRecord::cmdPrint_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!recording::printerDialog().choose(printer, this))
        return;
    QString error;
    if (!printGraph(*CWGraph1, printer, &error))
        platform::messageBox().show("cmdPrint_Click : " + error, QString(), IMessageBox::Buttons::Ok,
                                    IMessageBox::Icon::Critical);
}

} // namespace qle
