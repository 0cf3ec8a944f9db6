// Recording at scale, at 33,000 rows and at 86,400 (a day at one second):
// the per-row append at row 10 and near the end, saving, loading and
// filtering the 3-channel working table, and the table recorder's whole
// second with its graph window, on copies of the shipped catalogue in WAL
// mode. The export and the graph's ReDraw are measured by bench_graph.
#include "BenchSupport.h"
#include "GraphWindowBench.h"
#include "RecorderDoubles.h"
#include "SampleRows.h"

#include "panels/Panel.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SqliteFile.h"
#include "recording/table/frmDataTable.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/database/RecordDatabase.h"
#include "recording/table/RecorderHost.h"
#include "recording/table/RecordTableModel.h"
#include "recording/database/RecordTime.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace qle;
using namespace qle::bench;

namespace {

constexpr int NearRow = 10;
constexpr double BudgetMs = 300;

const QDateTime Start = sampleStart();

// A private copy of the shipped catalogue, opened in WAL mode on its own connection.
class RecordFile {
public:
    RecordFile(const QTemporaryDir &dir, const QString &name) : m_name("bench-" + name)
    {
        const QString path = dir.filePath(name + ".mdb");
        QFile::remove(path);
        m_ok = QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QString error;
        m_ok = m_ok && sqlite::open(m_name, path, &error);
        QSqlDatabase db = QSqlDatabase::database(m_name);
        m_ok = m_ok && sqlite::enableWriteAheadLog(db);
    }
    ~RecordFile() { sqlite::close(m_name); }
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] QSqlDatabase db() const { return QSqlDatabase::database(m_name); }

private:
    QString m_name;
    bool m_ok = false;
};

// A clock that moves one second per recorder tick.
class SteppingClock final : public IClock {
public:
    [[nodiscard]] double timeOfDaySec() const override { return 8 * 3600 + m_t; }
    [[nodiscard]] double monotonicSec() const override { return 1000 + m_t; }
    void step() { m_t += 1.0; }

private:
    double m_t = 0;
};

bool fill(RecordDatabase &records, qint64 from, qint64 to)
{
    for (qint64 n = from; n < to; ++n)
        if (!records.addSample(sampleRow(n)))
            return false;
    return true;
}

bool removeRow(const QSqlDatabase &db, qint64 seqNo)
{
    QSqlQuery query(db);
    query.prepare("delete from datatemp where SeqNo = ?");
    query.addBindValue(seqNo);
    return query.exec();
}

template <typename F> double timeMs(F &&work)
{
    const double t0 = nowMs();
    work();
    return nowMs() - t0;
}

QString msList(const QList<double> &ms)
{
    QStringList parts;
    for (double v : ms)
        parts.append(QString::number(v, 'f', 1));
    return parts.join(' ');
}

void budgetFigure(const QString &name, const QList<double> &ms)
{
    const double value = median(ms);
    print({name, value, "ms", "budget", BudgetMs, "<= ref", value <= BudgetMs, ""});
}

// One recording size: appends at row 10 and at farRow, then save, load and
// filter of `rows` rows, and the table recorder's whole step at both rows.
int measure(const QTemporaryDir &dir, int rows, int farRow, int samples, int reps)
{
    const QLocale english(QLocale::English);
    const QString rowsText = english.toString(rows);
    const QString farText = english.toString(farRow);
    const QByteArray title =
        QStringLiteral("recording at scale: 3 channels, %1 rows, SQLite in WAL mode").arg(rowsText).toUtf8();
    printHeader(title.constData());
    QuietMessageBox boxes;
    int status = 0;
    const auto fail = [&](const QString &what, const QString &why) {
        printNotAvailable(what, "failed: " + why);
        status = 1;
    };

    // ---- per-row append at row 10 and at the far row, alternating between two files
    {
        RecordFile nearFile(dir, "near" + QString::number(rows));
        RecordFile farFile(dir, "far" + QString::number(rows));
        if (!nearFile.ok() || !farFile.ok()) {
            fail("append", "cannot open copies of " QLE_SHIPPED_CATALOGUE);
            return 1;
        }
        RecordDatabase nearDb(nearFile.db());
        RecordDatabase farDb(farFile.db());
        const double fillMs = timeMs([&] {
            if (!nearDb.clearWorking() || !farDb.clearWorking() || !fill(nearDb, 0, NearRow) || !fill(farDb, 0, farRow))
                fail("append", farDb.errorDescription());
        });
        QList<double> nearMs, farMs;
        for (int i = 0; i < samples && status == 0; ++i) {
            const RecordRow a = sampleRow(NearRow);
            const RecordRow b = sampleRow(farRow);
            bool ok = true;
            const auto nearOne = [&] {
                nearMs.append(timeMs([&] { ok = nearDb.addSample(a) && ok; }));
                ok = removeRow(nearFile.db(), NearRow) && ok;
            };
            const auto farOne = [&] {
                farMs.append(timeMs([&] { ok = farDb.addSample(b) && ok; }));
                ok = removeRow(farFile.db(), farRow) && ok;
            };
            // A B B A ..., so that neither side always comes first.
            if (i % 2 == 0) {
                nearOne();
                farOne();
            } else {
                farOne();
                nearOne();
            }
            if (!ok)
                fail("append", farDb.errorDescription() + nearDb.errorDescription());
        }
        if (status == 0) {
            const double nearCost = median(nearMs);
            const double farCost = median(farMs);
            print({"addSample at row 10", nearCost * 1000, "us", "itself", nearCost * 1000, "-", std::nullopt, ""});
            print({"addSample at row " + farText, farCost * 1000, "us", "at row 10", nearCost * 1000,
                   "0.75..1.25 x ref", farCost >= 0.75 * nearCost && farCost <= 1.25 * nearCost, ""});
            printDetail(QStringLiteral("%1 samples each, A B B A order (every timed row is removed again, so each "
                                       "sample is taken at exactly that row count); filling %2 rows took %3 ms")
                            .arg(samples)
                            .arg(farRow + NearRow)
                            .arg(fillMs, 0, 'f', 0));
        }

        // ---- Full size: save as a record, load back, filter refresh
        if (status == 0 && !fill(farDb, farRow, rows))
            fail("fill to " + rowsText + " rows", farDb.errorDescription());
        qint64 count = 0;
        if (status == 0 && (!farDb.countWorking(&count) || count != rows))
            fail("fill to " + rowsText + " rows", QStringLiteral("working table has %1 rows").arg(count));
        QList<double> saveMs, loadMs, filterMs;
        QString recNo;
        for (int i = 0; i < reps && status == 0; ++i) {
            RecordHeader header;
            header.startTime = formatRecordTime(Start);
            header.endTime = formatRecordTime(Start.addSecs(rows));
            header.comment = "bench";
            header.recStyle = "0";
            header.showStyle = "0";
            bool ok = true;
            saveMs.append(timeMs([&] { ok = farDb.saveRecord(header, &recNo); }));
            loadMs.append(timeMs([&] { ok = ok && farDb.loadRecord(recNo); }));
            QList<RecordRow> filtered;
            filterMs.append(timeMs([&] { ok = ok && farDb.workingRows(ReasonFilter::AboveUpper, &filtered); }));
            if (!ok || filtered.size() != rows)
                fail("save/load/filter",
                     farDb.errorDescription() + QStringLiteral(" (%1 rows filtered)").arg(filtered.size()));
        }
        if (status == 0) {
            budgetFigure("save " + rowsText + " rows as a record", saveMs);
            budgetFigure("load a " + rowsText + "-row record back", loadMs);
            budgetFigure("filter refresh, reason filter, " + rowsText + " rows", filterMs);
            printDetail(QStringLiteral("%1 repetitions; save ms: %2; load ms: %3; filter ms: %4")
                            .arg(reps)
                            .arg(msList(saveMs), msList(loadMs), msList(filterMs)));
        }
    }

    // ---- the table recorder window: its whole one-second step and its filter refresh
    if (status == 0) {
        SteppingClock clock;
        platform::setClock(&clock);
        RecordFile nearFile(dir, "window-near" + QString::number(rows));
        RecordFile farFile(dir, "window-far" + QString::number(rows));
        testing::FakePanel panel(3);
        for (int ch = 0; ch < 3; ++ch)
            panel.show(ch, QString::number(12.0 + ch, 'f', 3), QString::number(1.0 + ch, 'f', 3));
        // Each table recorder draws into a graph window of its own file, on screen.
        GraphHost nearHost, farHost;
        nearHost.panel = farHost.panel = &panel;
        frmGraphicRecord nearGraph(nearHost, nearFile.db());
        frmGraphicRecord farGraph(farHost, farFile.db());
        nearHost.graph = &nearGraph;
        farHost.graph = &farGraph;
        prepare(nearGraph);
        prepare(farGraph);
        {
            frmDataTable nearTable(nearHost, nearFile.db());
            frmDataTable farTable(farHost, farFile.db());
            for (frmDataTable *table : {&nearTable, &farTable}) {
                table->ContrlIdx = 2;
                table->RecordPeriod(1, 0, 0, 0, 0, 0);
                table->BeginRecordData();
                table->TimerRecordData.stop();
                table->show();
            }
            QApplication::processEvents();
            const auto tick = [&](frmDataTable &table) {
                clock.step();
                table.TimerRecordData_Timer();
            };
            // The whole second: the row stored and shown, then the graph's
            // statistics list, reduction and paint.
            const auto second = [&](frmDataTable &table, frmGraphicRecord &graph) {
                tick(table);
                drawn(graph);
            };
            const double fillMs = timeMs([&] {
                for (int i = 0; i < NearRow; ++i)
                    tick(nearTable);
                for (int i = 0; i < farRow; ++i)
                    tick(farTable);
            });
            QApplication::processEvents();
            const int windowSamples = std::min(samples, 101);
            QList<double> nearMs, farMs;
            for (int i = 0; i < windowSamples; ++i) {
                if (i % 2 == 0) {
                    nearMs.append(timeMs([&] { second(nearTable, nearGraph); }));
                    farMs.append(timeMs([&] { second(farTable, farGraph); }));
                } else {
                    farMs.append(timeMs([&] { second(farTable, farGraph); }));
                    nearMs.append(timeMs([&] { second(nearTable, nearGraph); }));
                }
                // Paint and layout run here, outside the timed step, as between two real ticks.
                QApplication::processEvents();
            }
            if (nearTable.iCurrentRow != NearRow + windowSamples || farTable.iCurrentRow != farRow + windowSamples ||
                !boxes.shown.isEmpty()) {
                fail("table recorder tick",
                     QStringLiteral("rows %1 / %2").arg(nearTable.iCurrentRow).arg(farTable.iCurrentRow));
            } else {
                const double nearCost = median(nearMs);
                const double farCost = median(farMs);
                print({"one second of recording (table, graph, database), row 10..", nearCost * 1000, "us", "itself",
                       nearCost * 1000, "-", std::nullopt, ""});
                // The whole step, beyond addSample: only growth with the row count is a fault here.
                print({"one second of recording (table, graph, database), row " + farText + "..", farCost * 1000, "us",
                       "at row 10..", nearCost * 1000, "<= 1.25 x ref (no growth)", farCost <= 1.25 * nearCost, ""});
                printDetail(
                    QStringLiteral(
                        "frmDataTable::TimerRecordData_Timer, then the graph window's statistics, reduction and "
                        "paint; %1 samples each, A B B A order, "
                        "from rows %2 and %3 on; reaching them took %4 ms")
                        .arg(windowSamples)
                        .arg(NearRow)
                        .arg(farRow)
                        .arg(fillMs, 0, 'f', 0));
            }
            nearTable.EndRecordData(0);
            farTable.EndRecordData(0);

            // The window's own filter refresh at full size (query, labels, grid model).
            if (status == 0 && !fill(farTable.database(), farRow + windowSamples, rows))
                fail("window filter refresh", farTable.database().errorDescription());
            QList<double> refreshMs;
            for (int i = 0; i < reps && status == 0; ++i) {
                farTable.CmbSample->blockSignals(true);
                farTable.CmbSample->setCurrentIndex(2);
                farTable.CmbSample->blockSignals(false);
                refreshMs.append(timeMs([&] {
                    farTable.CmbSample_Click();
                    QApplication::processEvents();
                }));
                if (farTable.gridModel().rowCount() != rows)
                    fail("window filter refresh",
                         QStringLiteral("grid shows %1 rows").arg(farTable.gridModel().rowCount()));
            }
            if (status == 0)
                budgetFigure("table recorder filter refresh, " + rowsText + " rows", refreshMs);
        }
        platform::setClock(nullptr);
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption samplesOption("samples", "Timed appends at each row count (default 301).", "N", "301");
    const QCommandLineOption repsOption("reps", "Repetitions of save, load and filter (default 5).", "N", "5");
    parser.addHelpOption();
    parser.addOption(samplesOption);
    parser.addOption(repsOption);
    parser.process(app);
    const int samples = std::max(1, parser.value(samplesOption).toInt());
    const int reps = std::max(1, parser.value(repsOption).toInt());
    QTemporaryDir dir;
    // The second size is the longest recording the record settings allow at one second.
    int status = measure(dir, 33000, 30000, samples, reps);
    if (status == 0)
        status = measure(dir, 86400, 86000, samples, reps);
    return status;
}
