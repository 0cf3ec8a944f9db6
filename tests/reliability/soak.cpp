// A simulated day at the bench: the real main window polls the virtual
// instrument and records all the time, with the program's clock and timers
// driven by hand so that 24 hours pass in minutes. Prints resident memory at
// the start and the end and the rows written against the rows expected.
//
//   qle_soak [--hours H] [--scale POSITION] [--poll-every SECONDS]
//            [--save-load-export] [--max-growth-mb MB]
//
// H simulated hours (default 24); POSITION the sample interval of the record
// settings (default 3, "10 seconds"); a polling query every SECONDS
// simulated seconds (default 3, the program's QueryTimer). With
// --save-load-export the recording is then saved as a record, loaded back
// into the table recorder and the graph, and exported to CSV, each timed and
// checked row for row. Exit status 1 when memory grew by MB (default 5) or
// more while recording, counting the rows the windows hold (or, with
// --save-load-export, again over the save, load and export, which hold the
// loaded copy too), or rows are missing or extra.
#include "comm/CommTasker.h"
#include "ManualClock.h"
#include "panels/Panel.h"
#include "platform/SettingsStore.h"
#include "recording/export/ExportCsv.h"
#include "recording/table/frmDataTable.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/graph/GraphView.h"
#include "recording/table/RecordTableModel.h"
#include "recording/database/SampleInterval.h"
#include "ShellFixture.h"
#include "SimProcess.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>

using namespace qle;
using namespace qle::testing;

namespace {

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Lets the program run until the condition holds; false after the time.
template <typename Condition> bool runUntil(Condition condition, int msec)
{
    QDeadlineTimer deadline(msec);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

qint64 workingRows()
{
    QSqlQuery q(QSqlDatabase::database("mtype"));
    return q.exec("select count(*) from datatemp") && q.next() ? q.value(0).toLongLong() : -1;
}

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("A simulated day of polling and recording against the virtual instrument.");
    parser.addHelpOption();
    const QCommandLineOption hoursOption("hours", "Simulated hours (default 24).", "H", "24");
    const QCommandLineOption scaleOption("scale", "Sample-interval position (default 3, 10 seconds).", "POSITION", "3");
    const QCommandLineOption pollOption("poll-every", "Simulated seconds between polls (default 3).", "SECONDS", "3");
    const QCommandLineOption recordOption("save-load-export", "Save, load back and export the recording.");
    const QCommandLineOption growthOption("max-growth-mb", "Largest memory growth allowed (default 5).", "MB", "5");
    parser.addOption(hoursOption);
    parser.addOption(scaleOption);
    parser.addOption(pollOption);
    parser.addOption(recordOption);
    parser.addOption(growthOption);
    parser.process(app);
    const bool saveLoadExport = parser.isSet(recordOption);
    const double maxGrowthMb = parser.value(growthOption).toDouble();
    const int hours = std::max(1, parser.value(hoursOption).toInt());
    const int scale = std::clamp(parser.value(scaleOption).toInt(), 0, sampleinterval::PositionCount - 1);
    const int pollEvery = std::max(1, parser.value(pollOption).toInt());
    const qint64 seconds = qint64{hours} * 3600;

    QTemporaryDir config;
    ShellFixture::isolateSettings(config);
    ShellFixture fx;
    ManualClock clock;
    SimProcess sim;
    if (!sim.start({"--model", "KMA-3303T"})) {
        say("error: the virtual instrument did not start");
        return 2;
    }
    sim.control("set volt 1 5");
    sim.control("set volt 2 12");
    std::unique_ptr<MDIForm1> w = fx.makeWindow({sim.link()});
    if (w->Start() != MDIForm1::StartResult::Ready) {
        say("error: the main window did not start");
        return 2;
    }
    fx.scriptSerialOk();
    fx.scriptRealRun();
    w->mnuRS232_Click();
    if (!runUntil([&] { return w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()); },
                  20000)) {
        say("error: no connection: " + fx.boxes.texts().join(" | "));
        return 2;
    }
    w->mnuOutput_Click();
    // The polling is driven below, one query per simulated poll interval.
    w->QueryTimer.stop();
    Panel *panel = w->currentPanel();
    // Closed with the connection, should it end.
    const QPointer<frmDataTable> table = w->tableRecorder();
    table->RecordPeriod(static_cast<qint16>(hours / 24), static_cast<qint16>(hours % 24), 0, 0,
                        static_cast<qint16>(scale), 2);
    w->mnuRecordStart_Click();
    if (!table->isRecording()) {
        say("error: the recording did not start: " + fx.boxes.texts().join(" | "));
        return 2;
    }
    table->TimerRecordData.stop();

    say(QStringLiteral("soak: %1 simulated hours, a poll every %2 s, a row every %3 s")
            .arg(hours)
            .arg(pollEvery)
            .arg(sampleinterval::seconds(scale)));
    const qint64 rssAtConnection = residentKiB();
    qint64 rssStart = -1;
    constexpr qint64 WarmUpSeconds = 600;
    qint64 polls = 0;
    qint64 slowPolls = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    for (qint64 s = 0; s < seconds; ++s) {
        if (s % pollEvery == 0) {
            panel->DoQuery();
            ++polls;
            if (!runUntil([&] { return w->engine().QueryTaskCount == 0 && !w->engine().IsQueryPending; }, 5000))
                ++slowPolls;
            // One engine tick while idle, as its 10 ms timer gives in real
            // time: it notes the time of the last reply before the clock jumps.
            w->engine().DoWriterTimer(CommTasker::WriterIntervalMsec);
        }
        if (w->MainFormState != 3 || !table) {
            say("error: the connection ended after " + QString::number(s) + " s: " + fx.boxes.texts().join(" | "));
            return 1;
        }
        clock.advance(1.0);
        table->TimerRecordData_Timer();
        if (s + 1 == WarmUpSeconds)
            rssStart = residentKiB();
        if ((s + 1) % 3600 == 0)
            say(QStringLiteral("  hour %1: %2 rows, VmRSS %3 KiB, %4 s real")
                    .arg((s + 1) / 3600, 2)
                    .arg(workingRows())
                    .arg(residentKiB())
                    .arg(elapsed.elapsed() / 1000));
    }
    // Let the last exchanges finish before counting.
    runUntil([&] { return !w->engine().IsQueryPending; }, 2000);
    const qint64 rows = workingRows();
    const qint64 expected = seconds / sampleinterval::seconds(scale);
    const qint64 rssDayEnd = residentKiB();
    bool recordOk = true;
    if (saveLoadExport) {
        const auto timed = [](const auto &work) {
            QElapsedTimer t;
            t.start();
            work();
            return t.elapsed();
        };
        table->EndRecordData(0);
        table->txtDataDesc->setText("soak");
        fx.boxes.script(IMessageBox::Answer::Yes);
        const qint64 saveMs = timed([&] { table->cmdSave_Click(); });
        const QString recNo = table->txtRecno->text();
        const qint64 loadMs = timed([&] {
            table->cmdLoadRecord_Click();
            table->List1_Click(0);
            if (frmGraphicRecord *graph = w->graphWindow())
                graph->ReDraw();
        });
        const QString csv = config.filePath("soak.csv");
        QString error;
        qint64 exportMs = 0;
        exportMs = timed([&] {
            if (!ExportCsv::write(QSqlDatabase::database("mtype"), 3, csv, &error))
                say("error: export: " + error);
        });
        QFile exported(csv);
        qint64 csvLines = 0;
        if (exported.open(QIODevice::ReadOnly))
            csvLines = exported.readAll().count('\n');
        const frmGraphicRecord *graph = w->graphWindow();
        const qint64 graphPoints = graph ? graph->CWGraph1->pointCount(0) : -1;
        const qint64 gridRows = table->gridModel().rowCount();
        say(QStringLiteral("record %1 saved in %2 ms; loaded back with the graph's ReDraw in %3 ms (%4 rows in the "
                           "table recorder, %5 points a trace); exported in %6 ms (%7 lines)")
                .arg(recNo)
                .arg(saveMs)
                .arg(loadMs)
                .arg(gridRows)
                .arg(graphPoints)
                .arg(exportMs)
                .arg(csvLines));
        // The export starts with a title line, a blank line and the column line.
        recordOk = !recNo.isEmpty() && gridRows == expected && graphPoints == expected && csvLines >= expected &&
                   csvLines <= expected + 3 && error.isEmpty();
    }
    const qint64 rssEnd = residentKiB();
    // Each phase holds one more copy of the rows: the recording's in the
    // table recorder and the graph, then the loaded record's.
    const qint64 growth = rssDayEnd - rssStart;
    const qint64 recordGrowth = rssEnd - rssDayEnd;
    const QString db = fx.data.filePath("mtype.mdb");

    say(QStringLiteral("VmRSS at connection %1 KiB, after %2 simulated s %3 KiB, at the end of the recording %4 KiB: "
                       "growth %5 KiB (%6 bytes a row held)")
            .arg(rssAtConnection)
            .arg(WarmUpSeconds)
            .arg(rssStart)
            .arg(rssDayEnd)
            .arg(growth)
            .arg(rows > 0 ? growth * 1024 / rows : 0));
    if (saveLoadExport)
        say(QStringLiteral("VmRSS after save, load and export %1 KiB: growth %2 KiB more (%3 bytes a loaded row)")
                .arg(rssEnd)
                .arg(recordGrowth)
                .arg(expected > 0 ? recordGrowth * 1024 / expected : 0));
    say(QStringLiteral("rows written %1, expected %2; rows the table window keeps in memory %3")
            .arg(rows)
            .arg(expected)
            .arg(table->iCurrentRow));
    say(QStringLiteral("polls %1 (%2 not answered within 5 s), instrument lines received %3")
            .arg(polls)
            .arg(slowPolls)
            .arg(sim.received().size()));
    say(QStringLiteral("record file %1 KiB, write-ahead log %2 KiB; message boxes: %3")
            .arg(QFileInfo(db).size() / 1024)
            .arg(QFileInfo(db + "-wal").size() / 1024)
            .arg(fx.boxes.shown().size() <= (saveLoadExport ? 1 : 0) ? QStringLiteral("none")
                                                                     : fx.boxes.texts().join(" | ")));
    say(QStringLiteral("real time %1 s").arg(elapsed.elapsed() / 1000));
    const bool memoryOk = static_cast<double>(growth) < maxGrowthMb * 1024 &&
                          (!saveLoadExport || static_cast<double>(recordGrowth) < maxGrowthMb * 1024);
    const bool rowsOk = rows == expected;
    say(QStringLiteral("memory growth below %1 MB%2: %3; rows as expected: %4%5")
            .arg(maxGrowthMb)
            .arg(saveLoadExport ? QStringLiteral(" in each phase") : QString())
            .arg(memoryOk ? "yes" : "NO")
            .arg(rowsOk ? "yes" : "NO")
            .arg(saveLoadExport
                     ? QStringLiteral("; record saved, loaded and exported whole: ") + (recordOk ? "yes" : "NO")
                     : QString()));
    w.reset();
    return memoryOk && rowsOk && recordOk && fx.boxes.shown().size() <= (saveLoadExport ? 1 : 0) ? 0 : 1;
}
