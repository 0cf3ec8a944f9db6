// The main window connected to the virtual instrument as a user connects it
// (Interface > RS232, the serial dialog answered, the initial read run for
// real): idle CPU with the three-output panel open and the output off, and
// the resident memory once a 33,000-row record (or --rows N) is loaded into
// the table recorder. The record is written by a child process of its own
// (--write-record), so that the process measured has never held those rows
// before it loads them, once. --memory-only skips the idle measurement, so
// that each record size can be measured in a fresh process.
#include "BenchSupport.h"
#include "ConnectedWindow.h"
#include "SampleRows.h"

#include "dialogs/dlgConfigRS232.h"
#include "panels/Panel.h"
#include "platform/SqliteFile.h"
#include "platform/widgets/ModalRunner.h"
#include "recording/table/frmDataTable.h"
#include "recording/database/RecordDatabase.h"
#include "recording/table/RecordTableModel.h"
#include "recording/database/RecordTime.h"
#include "shell/MDIForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <memory>

using namespace qle;
using namespace qle::bench;

namespace {

// Bytes the allocator has handed out and not had back, mapped blocks included.
std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A data folder whose mtype.mdb holds one saved record of `rows` rows and
// an empty working table, as a recording saved and cleared leaves it.
bool writeRecord(const QString &folder, int rows, QString *error)
{
    const QString path = folder + "/mtype.mdb";
    QDir().mkpath(folder);
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), path) ||
        !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner)) {
        *error = "cannot copy the catalogue";
        return false;
    }
    if (!sqlite::open("record", path, error))
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::database("record");
        RecordDatabase records(db);
        const QDateTime start(QDate(2024, 3, 1), QTime(8, 0, 0));
        ok = sqlite::enableWriteAheadLog(db) && records.clearWorking() && db.transaction();
        for (qint64 n = 0; ok && n < rows; ++n)
            ok = records.addSample(sampleRow(n, start));
        ok = ok && db.commit();
        RecordHeader header;
        header.startTime = formatRecordTime(start);
        header.endTime = formatRecordTime(start.addSecs(rows));
        header.comment = "bench";
        QString recNo;
        ok = ok && records.saveRecord(header, &recNo) && records.clearWorking();
        if (!ok)
            *error = records.errorDescription();
    }
    sqlite::close("record");
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir tmp;
    useScratchSettings(tmp);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption idleOption("idle-seconds", "Length of the idle measurement (default 30).", "S", "30");
    const QCommandLineOption rowsOption("rows", "Rows of the record loaded (default 33000).", "N", "33000");
    const QCommandLineOption memoryOption("memory-only", "Only the resident memory of the loaded record.");
    const QCommandLineOption writeOption("write-record", "Only write the record into the data folder DIR.", "DIR");
    parser.addHelpOption();
    parser.addOption(idleOption);
    parser.addOption(rowsOption);
    parser.addOption(memoryOption);
    parser.addOption(writeOption);
    parser.process(app);
    const int idleMs = std::max(1, parser.value(idleOption).toInt()) * 1000;
    const int Rows = std::max(1, parser.value(rowsOption).toInt());
    const QString rowsText = QLocale(QLocale::English).toString(Rows);
    const bool memoryOnly = parser.isSet(memoryOption);
    if (parser.isSet(writeOption)) {
        QString error;
        if (writeRecord(parser.value(writeOption), Rows, &error))
            return 0;
        std::fprintf(stderr, "bench_mainwindow: %s\n", qPrintable(error));
        return 1;
    }

    const QByteArray title =
        (memoryOnly ? "main window connected to psu-sim: resident memory, " + rowsText + "-row record"
                    : QStringLiteral("main window connected to psu-sim: idle CPU and resident memory"))
            .toUtf8();
    printHeader(title.constData());
    QuietMessageBox boxes;
    ConnectingRunner dialogs;

    SimInstrument sim;
    if (!sim.start({"--model", "KMA-3303T", "--control", "stdin"})) {
        printNotAvailable("idle CPU", "failed: psu-sim did not start");
        return 1;
    }
    // The record first, by a process of its own.
    {
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedChannels);
        writer.start(QCoreApplication::applicationFilePath(),
                     {"--write-record", tmp.filePath("data"), "--rows", QString::number(Rows)});
        if (!writer.waitForFinished(600000) || writer.exitStatus() != QProcess::NormalExit || writer.exitCode() != 0) {
            printNotAvailable("VmRSS with a " + rowsText + "-row record", "failed: the record was not written");
            return 1;
        }
    }
    auto window = connectedWindow(tmp.filePath("data"), sim.link());
    if (!window || window->currentPanel()->channelCount() != 3 || window->currentPanel()->IsOutput) {
        printNotAvailable("idle CPU",
                          "failed: no three-output panel with the output off (" + boxes.shown.join("; ") + ")");
        return 1;
    }
    MDIForm1 &w = *window;
    pause(2000);

    if (!memoryOnly) {
        // ---- idle CPU. The engine's 10 ms tick rests while nothing is queued;
        // its share of the CPU is measured with Live polling running, by bench_live.
        const double idle = idleCpuPercent(idleMs);
        print({"idle CPU, 3-output panel open, output off", idle, "%", "budget", 0.15, "<= ref", idle <= 0.15,
               QStringLiteral("%1 s, % of one core").arg(idleMs / 1000)});
    }

    // ---- resident memory: the record loaded into the table recorder
    frmDataTable *table = w.tableRecorder();
    if (!table) {
        printNotAvailable("VmRSS with a " + rowsText + "-row record", "failed: no table recorder");
        return 1;
    }
    w.mnuTableData_Click();
    pause(500);
    const qint64 before = residentKb();
    const std::size_t heapBefore = heapInUse();
    table->cmdLoadRecord_Click();
    table->List1_Click(0);
    pause(1000);
    const qint64 after = residentKb();
    const std::size_t heapAfter = heapInUse();
    const int shown = table->gridModel().rowCount();
    if (shown != Rows) {
        printNotAvailable("VmRSS with a " + rowsText + "-row record",
                          QStringLiteral("failed: the grid shows %1 rows").arg(shown));
        return 1;
    }
    // The record's share of the resident memory; the goal is set for a full day at one second.
    const double bytesARow = (after - before) * 1024.0 / Rows;
    const bool fullDay = Rows >= 86400;
    print({"VmRSS, " + rowsText + "-row record in the table recorder, a row", bytesARow, "B", "budget", 250.0,
           fullDay ? "<= ref" : "none set", fullDay ? std::optional<bool>(bytesARow <= 250) : std::nullopt,
           QStringLiteral("%1 MiB, %2 MiB before loading")
               .arg(after / 1024.0, 0, 'f', 1)
               .arg(before / 1024.0, 0, 'f', 1)});
    // The heap in use, free blocks left out: what the rows hold, without the
    // allocator's reserve or the database's page cache.
    printDetail(QStringLiteral("heap in use grew by %1 bytes a row")
                    .arg((static_cast<double>(heapAfter) - static_cast<double>(heapBefore)) / Rows, 0, 'f', 0));
    if (!boxes.shown.isEmpty())
        printDetail("message boxes shown: " + boxes.shown.join("; "));
    window.reset();
    return 0;
}
