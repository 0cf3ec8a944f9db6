// The recorder's optional parts at 33,000 and 86,400 rows, where they exist: the CSV
// export of the working table, the graph window's ReDraw of six traces after
// the table changed, a record chosen in either recorder's record list to both
// windows painted, and the cost of one more stored point on a graph that
// long. Parts that are not in src/recording print "n/a".
#include "BenchSupport.h"
#include "RecorderDoubles.h"
#include "SampleRows.h"

#include "platform/SqliteFile.h"
#include "recording/database/RecordDatabase.h"
#include "recording/database/RecordTime.h"

#if QLE_BENCH_HAS_EXPORT
#include "recording/export/ExportCsv.h"
#endif
#if QLE_BENCH_GRAPH_HAS_REDRAW
#include "GraphWindowBench.h"
#include "panels/Panel.h"
#include "recording/table/frmDataTable.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/graph/GraphStatistics.h"
#include "recording/graph/GraphView.h"
#include "recording/table/RecordTableModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <utility>
#endif

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>

#include <algorithm>
#include <cstdio>

using namespace qle;
using namespace qle::bench;

namespace {

// A sample row with the reasons of a recording whose every channel was read.
RecordRow sampleRowWithReasons(qint64 n)
{
    RecordRow row = sampleRow(n);
    row.reason = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    return row;
}

template <typename F> double timeMs(F &&work)
{
    const double t0 = nowMs();
    work();
    return nowMs() - t0;
}

[[maybe_unused]] QString msList(const QList<double> &ms)
{
    QStringList parts;
    for (double v : ms)
        parts.append(QString::number(v, 'f', 2));
    return parts.join(' ');
}

// A copy of the shipped catalogue in WAL mode whose working table holds `rows` rows.
bool makeRecordFile(const QTemporaryDir &dir, const QString &name, int rows, QString *error)
{
    const QString path = dir.filePath(name + ".mdb");
    if (!QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), path)) {
        *error = "cannot copy the catalogue";
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (!sqlite::open(name, path, error))
        return false;
    QSqlDatabase db = QSqlDatabase::database(name);
    if (!sqlite::enableWriteAheadLog(db)) {
        *error = "cannot enable WAL";
        return false;
    }
    RecordDatabase records(db);
    bool ok = records.clearWorking() && db.transaction();
    for (int n = 0; ok && n < rows; ++n)
        ok = records.addSample(sampleRowWithReasons(n));
    ok = ok && db.commit();
    if (!ok)
        *error = records.errorDescription();
    return ok;
}

#if QLE_BENCH_GRAPH_HAS_REDRAW
// Paint events of a widget since the last reset.
class PaintSeen final : public QObject {
public:
    explicit PaintSeen(QWidget *widget) { widget->installEventFilter(this); }
    bool seen = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            seen = true;
        return false;
    }
};

// The table recorder and the graph recorder of one connection, on screen,
// a record chosen in either one's record list, alternately: the time from
// the click until both windows have painted what it loaded.
int measureListClicks(QSqlDatabase db, Panel &panel, int rows, int reps)
{
    const QString rowsText = QLocale(QLocale::English).toString(rows);
    GraphHost host;
    host.panel = &panel;
    frmDataTable table(host, db);
    frmGraphicRecord graph(host, db);
    host.graph = &graph;
    graph.setTableRecorder(&table);
    table.ContrlIdx = 2;
    prepare(graph);
    table.resize(900, 600);
    table.show();
    QApplication::processEvents();

    PaintSeen grid(table.grdHelQuest->viewport());
    PaintSeen chart(graph.CWGraph1->viewport());
    PaintSeen statistics(graph.lstWave->viewport());
    bool redrawn = false;
    QObject::connect(graph.CWGraph1, &GraphView::redrawn, [&] {
        redrawn = true;
        chart.seen = false; // what counts is the paint after the traces changed
    });
    QTimer wake;
    wake.start(20);
    // Runs the event loop from the click until every window has painted.
    const auto clickToPainted = [&](const std::function<void()> &click) {
        grid.seen = chart.seen = statistics.seen = redrawn = false;
        const double t0 = nowMs();
        click();
        const double until = t0 + 20000;
        while (!(grid.seen && statistics.seen && redrawn && chart.seen && !graph.CWGraph1->isRedrawPending()) &&
               nowMs() < until)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return nowMs() - t0;
    };

    QList<double> tableMs, graphMs;
    bool ok = true;
    for (int i = 0; i < reps && ok; ++i) {
        const auto viaTable = [&] {
            table.cmdLoadRecord_Click();
            QApplication::processEvents();
            tableMs.append(clickToPainted([&] { table.List1_Click(0); }));
            ok = ok && table.gridModel().rowCount() == rows && graph.CWGraph1->pointCount(0) == rows;
        };
        const auto viaGraph = [&] {
            graph.cmdLoad_Click();
            QApplication::processEvents();
            graphMs.append(clickToPainted([&] { graph.List1_Click(0); }));
            ok = ok && table.gridModel().rowCount() == rows && graph.CWGraph1->pointCount(0) == rows;
        };
        if (i % 2 == 0) {
            viaTable();
            viaGraph();
        } else {
            viaGraph();
            viaTable();
        }
        QApplication::processEvents();
    }
    if (!ok) {
        printNotAvailable("record chosen in a record list, " + rowsText + " rows",
                          QStringLiteral("failed: the grid shows %1 rows, the graph %2 points")
                              .arg(table.gridModel().rowCount())
                              .arg(graph.CWGraph1->pointCount(0)));
        return 1;
    }
    for (const auto &[where, ms] :
         {std::pair{QStringLiteral("table"), tableMs}, std::pair{QStringLiteral("graph"), graphMs}}) {
        const double value = median(ms);
        print({"record chosen in the " + where + " recorder's list, " + rowsText + ", painted", value, "ms", "budget",
               300, "<= ref", value <= 300, "both windows"});
        printDetail(QStringLiteral("%1 repetitions, alternating with the other list; click (List1_Click) to the grid, "
                                   "the graph and its statistics painted, ms: %2")
                        .arg(reps)
                        .arg(msList(ms)));
    }
    graph.setTableRecorder(nullptr);
    return 0;
}
#endif

// One record size: the export, the graph's ReDraw and statistics, one more point.
int measure(const QTemporaryDir &dir, int rows, int reps)
{
    const QString rowsText = QLocale(QLocale::English).toString(rows);
    const QString longName = "bench-graph-long-" + QString::number(rows);
    const QString shortName = "bench-graph-short-" + QString::number(rows);
    const QByteArray title = QStringLiteral("recorder export and graph at %1 rows, 3 channels").arg(rowsText).toUtf8();
    printHeader(title.constData());
    QuietMessageBox boxes;
    int status = 0;
    QString error;
    if (!makeRecordFile(dir, longName, rows, &error)) {
        printNotAvailable("export and graph", "failed: " + error);
        return 1;
    }
    QSqlDatabase longDb = QSqlDatabase::database(longName);

    // ---- CSV export of the working table
#if QLE_BENCH_HAS_EXPORT
    {
        QList<double> exportMs;
        const QString path = dir.filePath("export.csv");
        for (int i = 0; i < reps; ++i) {
            bool ok = false;
            exportMs.append(timeMs([&] { ok = ExportCsv::write(longDb, 3, path, &error); }));
            if (!ok) {
                printNotAvailable("CSV export, " + rowsText + " rows", "failed: " + error);
                status = 1;
                break;
            }
        }
        if (status == 0) {
            const double value = median(exportMs);
            print({"CSV export, " + rowsText + " rows, 3 channels", value, "ms", "budget", 300, "<= ref", value <= 300,
                   QStringLiteral("%1 kB").arg(QFileInfo(path).size() / 1024)});
            printDetail(QStringLiteral("%1 repetitions, ms: %2").arg(reps).arg(msList(exportMs)));
        }
    }
#else
    printNotAvailable("CSV export, " + rowsText + " rows", "no Export code in src/recording");
#endif

    // ---- the graph window: ReDraw of six traces, the statistics list, one more stored point
#if QLE_BENCH_GRAPH_HAS_REDRAW
    if (!makeRecordFile(dir, shortName, 10, &error)) {
        printNotAvailable("graph", "failed: " + error);
        return 1;
    }
    {
        testing::FakePanel panel(3);
        for (int ch = 0; ch < 3; ++ch)
            panel.show(ch, QString::number(12.0 + ch, 'f', 3), QString::number(1.0 + ch, 'f', 3));
        GraphHost longHost, shortHost;
        longHost.panel = shortHost.panel = &panel;
        frmGraphicRecord longGraph(longHost, longDb);
        frmGraphicRecord shortGraph(shortHost, QSqlDatabase::database(shortName));
        longHost.graph = &longGraph;
        shortHost.graph = &shortGraph;
        prepare(longGraph);
        prepare(shortGraph);

        // The rows saved as a record: loading it back changes the working
        // table, as choosing a record in a record list does.
        RecordDatabase records(longDb);
        QString recNo;
        {
            RecordHeader header;
            header.comment = "bench";
            if (!records.saveRecord(header, &recNo)) {
                printNotAvailable("graph ReDraw", "failed: " + records.errorDescription());
                return 1;
            }
        }

        // ReDraw after a change of the working table (a record loaded, not
        // timed): the whole table read, to painted. Then a ReDraw of the
        // table unchanged, which reads nothing new, for comparison.
        QList<double> redrawMs, rebuildMs, paintMs, unchangedMs, statisticsMs;
        bool ok = true;
        for (int i = 0; i < reps && ok; ++i) {
            ok = records.loadRecord(recNo);
            QApplication::processEvents();
            const double t0 = nowMs();
            longGraph.ReDraw();
            const double t1 = nowMs();
            drawn(longGraph);
            const double t2 = nowMs();
            rebuildMs.append(t1 - t0);
            paintMs.append(t2 - t1);
            redrawMs.append(t2 - t0);
            QApplication::processEvents();
            unchangedMs.append(timeMs([&] {
                longGraph.ReDraw();
                drawn(longGraph);
            }));
            QApplication::processEvents();
            // The statistics list read whole, as it was before the extremes were kept.
            statisticsMs.append(timeMs([&] { graph::statisticsLines(longDb, 3, longGraph.iXTime, rows); }));
        }
        const qsizetype points = longGraph.CWGraph1->pointCount(0);
        if (!ok || points != rows) {
            printNotAvailable("graph ReDraw after a change, " + rowsText + " rows",
                              QStringLiteral("failed: the first trace holds %1 points (%2)")
                                  .arg(points)
                                  .arg(records.errorDescription()));
            status = 1;
        } else {
            const double value = median(redrawMs);
            print({"graph ReDraw after a change, 6 x " + rowsText + ", painted", value, "ms", "budget", 100, "<= ref",
                   value <= 100, QStringLiteral("ReDraw itself %1 ms").arg(median(rebuildMs), 0, 'f', 1)});
            printDetail(QStringLiteral("%1 repetitions, each after the record was loaded again; to painted, ms: %2; "
                                       "ReDraw alone, ms: %3")
                            .arg(reps)
                            .arg(msList(redrawMs), msList(rebuildMs)));
            const GraphView &view = *longGraph.CWGraph1;
            const double step = view.timeStep() > 0 ? view.timeStep() : 1;
            printDetail(QStringLiteral("medians: ReDraw %1 ms, then the reduction and paint %2 ms; a ReDraw of the "
                                       "table unchanged (reads nothing new) %3 ms; the statistics list read whole "
                                       "%4 ms; visible: %5 of %6 points a trace, handed to the chart as %7")
                            .arg(median(rebuildMs), 0, 'f', 1)
                            .arg(median(paintMs), 0, 'f', 1)
                            .arg(median(unchangedMs), 0, 'f', 1)
                            .arg(median(statisticsMs), 0, 'f', 1)
                            .arg(std::min<double>(rows, (view.timeMax() - view.timeMin()) / step), 0, 'f', 0)
                            .arg(rows)
                            .arg(view.series(0)->count()));
        }

        // The record loaded back as the graph's Load does it: the working
        // table replaced, then ReDraw, to painted.
        if (status == 0) {
            QList<double> loadMs;
            for (int i = 0; i < reps && ok; ++i) {
                loadMs.append(timeMs([&] {
                    ok = records.loadRecord(recNo);
                    longGraph.ReDraw();
                    drawn(longGraph);
                }));
                QApplication::processEvents();
            }
            if (!ok || longGraph.CWGraph1->pointCount(0) != rows) {
                printNotAvailable("load a record back with the graph's ReDraw",
                                  "failed: " + records.errorDescription());
                status = 1;
            } else {
                const double value = median(loadMs);
                print({"load a " + rowsText + "-row record back, ReDraw, painted", value, "ms", "budget", 300, "<= ref",
                       value <= 300, ""});
                printDetail(QStringLiteral("%1 repetitions, ms: %2").arg(reps).arg(msList(loadMs)));
            }
        }

        // A record chosen in a record list, as the user does it, with both
        // recorders on screen: from the click to the table recorder's grid,
        // the graph and its statistics list painted, the event loop running.
        if (status == 0)
            status = measureListClicks(longDb, panel, rows, reps);

        // The whole record in view: the longest time length, every point through the reduction.
        if (status == 0) {
            QList<double> wholeMs;
            const int longest = longGraph.cmbXLength->count() - 1;
            for (int i = 0; i < reps; ++i) {
                longGraph.cmbXLength->setCurrentIndex(0);
                drawn(longGraph);
                QApplication::processEvents();
                wholeMs.append(timeMs([&] {
                    longGraph.cmbXLength->setCurrentIndex(longest);
                    drawn(longGraph);
                }));
            }
            const GraphView &view = *longGraph.CWGraph1;
            const double step = view.timeStep() > 0 ? view.timeStep() : 1;
            const double visible = std::min<double>(rows, (view.timeMax() - view.timeMin()) / step);
            const double value = median(wholeMs);
            print({"graph: longest time length, " + rowsText + ", painted", value, "ms", "budget", 50, "<= ref",
                   value <= 50,
                   QStringLiteral("%1 of %2 points a trace in view, %3 handed to the chart")
                       .arg(visible, 0, 'f', 0)
                       .arg(rows)
                       .arg(view.series(0)->count())});
            printDetail(QStringLiteral("%1 repetitions, ms: %2 (\"%3\" chosen in the time-length list)")
                            .arg(reps)
                            .arg(msList(wholeMs), longGraph.cmbXLength->currentText()));
        }

        // One more stored point at the full size and at 10, alternating.
        QList<double> longAdd, shortAdd, longShown;
        const int adds = reps * 5;
        for (int i = 0; i < adds && status == 0; ++i) {
            const RecordRow longRow = sampleRowWithReasons(rows + i);
            const RecordRow shortRow = sampleRowWithReasons(10 + i);
            const auto addLong = [&] {
                longAdd.append(timeMs([&] { longGraph.ShowGraph(longRow); }));
                longShown.append(timeMs([&] { drawn(longGraph); }));
            };
            const auto addShort = [&] { shortAdd.append(timeMs([&] { shortGraph.ShowGraph(shortRow); })); };
            if (i % 2 == 0) {
                addLong();
                addShort();
            } else {
                addShort();
                addLong();
            }
            drawn(shortGraph);
            QApplication::processEvents();
        }
        if (status == 0) {
            const double value = median(longAdd);
            print({"graph: add one stored point at " + rowsText, value, "ms", "same at 10 points", median(shortAdd),
                   "<= 1 ms", value <= 1.0,
                   QStringLiteral("then statistics, reduction and paint %1 ms").arg(median(longShown), 0, 'f', 1)});
            printDetail(QStringLiteral("%1 alternating samples each; ShowGraph at %3, ms: %2")
                            .arg(adds)
                            .arg(msList(longAdd))
                            .arg(rowsText));
        }

        // The statistics list as the window refreshes it: its kept extremes
        // catch up with one more stored row. They must read as a whole read does.
        if (status == 0) {
            graph::WorkingExtremes kept;
            kept.update(longDb);
            RecordDatabase records(longDb);
            QList<double> keptMs;
            QStringList lines;
            for (int i = 0; i < reps * 5 && status == 0; ++i) {
                if (!records.addSample(sampleRowWithReasons(rows + 1000 + i))) {
                    printNotAvailable("graph statistics list", "failed: " + records.errorDescription());
                    status = 1;
                }
                keptMs.append(timeMs([&] {
                    kept.update(longDb);
                    lines = graph::statisticsLines(kept, 3, longGraph.iXTime, rows);
                }));
            }
            if (status == 0 && lines != graph::statisticsLines(longDb, 3, longGraph.iXTime, rows)) {
                printNotAvailable("graph statistics list", "failed: the kept extremes differ from a whole read");
                status = 1;
            }
            if (status == 0) {
                const double value = median(keptMs);
                print({"graph statistics list, " + rowsText + " rows, one more row", value, "ms", "budget", 5, "<= ref",
                       value <= 5, QStringLiteral("read whole: %1 ms").arg(median(statisticsMs), 0, 'f', 1)});
            }
        }
        if (!boxes.shown.isEmpty())
            printDetail("message boxes shown: " + boxes.shown.join("; "));
    }
#else
    printNotAvailable("graph ReDraw, 6 x " + rowsText + " points", "graph not built");
    printNotAvailable("graph: add one stored point at " + rowsText, "graph not built");
#endif
    longDb = QSqlDatabase();
    sqlite::close(shortName);
    sqlite::close(longName);
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption repsOption("reps", "Repetitions (default 7).", "N", "7");
    parser.addHelpOption();
    parser.addOption(repsOption);
    parser.process(app);
    const int reps = std::max(1, parser.value(repsOption).toInt());
    QTemporaryDir dir;
    int status = 0;
    // The longest recording the record settings allow is a day at one second.
    for (const int rows : {33000, 86400})
        status |= measure(dir, rows, reps);
    return status;
}
