// The graph recorder's outputs: the working table as a CSV file, and the
// graph on paper.
#include "frmGraphicRecord.h"

#include "GraphHost.h"
#include "GraphView.h"
#include "platform/FormatPattern.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "protocol/ReplyReaders.h"
#include "recording/events/EnergyCounter.h"
#include "recording/events/EventCsv.h"
#include "recording/export/ExportCsv.h"
#include "recording/export/ExportFileDialog.h"
#include "recording/export/GraphImage.h"
#include "recording/export/ImageSizeDialog.h"
#include "recording/export/PrintDialog.h"
#include "recording/export/PrintGraph.h"
#include "recording/table/frmDataTable.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>

#include <limits>
#include <memory>

namespace qle {
namespace {

const char *const ExportFilter = "Power文件(*.csv)";
// The same rows with each channel's power and its charge and energy so far.
const char *const ExportEnergyFilter = "Power文件 with W, Ah, Wh (*.csv)";

// ",Ch1 W,Ch1 Ah,Ch1 Wh" and so on: power of the row, charge and energy
// from the first row. The rows follow each other at the sample interval; a
// blank reading is the gap they are never added across.
std::function<QString(const RecordRow &)> energyColumns(int channels, std::shared_ptr<EnergyCounter> counter)
{
    counter->setGapLimitMs(std::numeric_limits<qint64>::max() / 4);
    counter->start();
    return [channels, counter](const RecordRow &row) {
        QString columns;
        for (int ch = 0; ch < channels; ++ch) {
            const auto at = static_cast<std::size_t>(ch);
            counter->addReadingText(ch, row.pval[at], row.sval[at], row.timeTick * 1000);
            columns += counter->csvFields(ch, row.pval[at], row.sval[at]);
        }
        return columns;
    };
}

} // namespace

// The program's data folder is where its record file is.
QString frmGraphicRecord::dataFolder() const
{
    const QString databaseFile = m_db.isValid() ? m_db.databaseName() : QString();
    return databaseFile.isEmpty() ? QDir::currentPath() : QFileInfo(databaseFile).absolutePath();
}

void frmGraphicRecord::cmdExport_Click()
{
    if (lIdx < 1) {
        showInformation("Please Record or Load existing data first!");
        return;
    }
    QString chosen;
    const QString path = recording::fileDialogs().saveFileName(
        this, dataFolder(), QString::fromUtf8(ExportFilter) + ";;" + QString::fromUtf8(ExportEnergyFilter), &chosen);
    if (path.isEmpty())
        return;
    QString error;
    bool written = false;
    if (chosen == QString::fromUtf8(ExportEnergyFilter)) {
        written = ExportCsv::write(m_db, channels(), path, &error, EnergyCounter::csvHeader(channels()),
                                   energyColumns(channels(), std::make_shared<EnergyCounter>()));
    } else {
        written = ExportCsv::write(m_db, channels(), path, &error);
    }
    if (!written) {
        platform::messageBox().show(error, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
        return;
    }
    // The events go to a second file beside it: "run.csv" and "run-events.csv".
    if (!m_events.isEmpty() && !EventCsv::write(m_events, eventsCsvPath(path), &error))
        platform::messageBox().show(error, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

QString frmGraphicRecord::eventsCsvPath(const QString &csvPath)
{
    const QFileInfo csv(csvPath);
    return csv.dir().filePath(csv.completeBaseName() + QStringLiteral("-events.") +
                              (csv.suffix().isEmpty() ? QStringLiteral("csv") : csv.suffix()));
}

// The header names the model, the record (or says it is not saved) and its
// times; the statistics and a legend of the traces shown go below the graph.
PrintSheet frmGraphicRecord::printSheet() const
{
    PrintSheet sheet;
    QStringList header;
    if (!m_host.machineType().isEmpty())
        header.append(m_host.machineType());
    const QString recNo = m_table ? m_table->txtRecno->text().trimmed() : QString();
    if (recNo.isEmpty()) {
        header.append(QStringLiteral("unsaved recording"));
    } else {
        const QString comment = m_table->txtDataDesc->text().trimmed();
        header.append(QStringLiteral("Record ") + recNo + (comment.isEmpty() ? QString() : ": " + comment));
    }
    if (m_table && !m_table->txtStartTime->text().trimmed().isEmpty())
        header.append(QStringLiteral("Start ") + m_table->txtStartTime->text().trimmed() + QStringLiteral("  End ") +
                      m_table->txtEndTime->text().trimmed());
    sheet.header = header.join(QStringLiteral("    "));
    for (int i = 0; i < lstWave->count(); ++i)
        sheet.statistics.append(lstWave->item(i)->text());
    for (int plot = 0; plot < Plots; ++plot)
        if (CWGraph1->isPlotVisible(plot))
            sheet.legend.append({plot, cbPlot[static_cast<std::size_t>(plot)]->text()});
    for (const RecordEvent &event : m_events)
        sheet.events.append(event.line());
    return sheet;
}

void frmGraphicRecord::cmdImage_Click()
{
    const QString path = recording::fileDialogs().saveFileName(
        this, dataFolder(), QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    if (path.isEmpty())
        return;
    const std::optional<QSize> size = askImageSize(CWGraph1->size(), this);
    if (!size)
        return;
    QString error;
    if (!saveGraphImage(*CWGraph1, path, *size, &error))
        platform::messageBox().show(error, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
}

void frmGraphicRecord::cmdPrint_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!recording::printerDialog().choose(printer, this))
        return;
    QString error;
    if (!printGraph(*CWGraph1, printer, printSheet(), &error))
        platform::messageBox().show("cmdPrint_Click : " + error, QString(), IMessageBox::Buttons::Ok,
                                    IMessageBox::Icon::Critical);
}

} // namespace qle
