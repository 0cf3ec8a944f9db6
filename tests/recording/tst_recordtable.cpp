#include "RecorderFixture.h"
#include "recording/graph/GraphView.h"
#include "recording/table/RecordTableModel.h"
#include "recording/database/SampleInterval.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <cmath>

using namespace qle;
using namespace qle::testing;

namespace {

const QString RowColumns = "SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3,Comment,"
                           "TimeTick,DiffLastTime";

// Time of day wraps at midnight; the monotonic count goes on.
class MidnightClock final : public IClock {
public:
    [[nodiscard]] double timeOfDaySec() const override { return std::fmod(now, 86400.0); }
    [[nodiscard]] double monotonicSec() const override { return now; }
    double now = 86397.0;
};

} // namespace

class TestRecordTable : public QObject {
    Q_OBJECT

private slots:
    // One minute at "5 seconds", maximum: 61 ticks, a row at ticks 5, 10 .. 60
    // holding the largest reading of its five ticks.
    void oneMinuteOfFiveSecondMaxima()
    {
        Recorder r;
        QSignalSpy started(r.table.get(), &frmDataTable::recordingStarted);
        QSignalSpy stopped(r.table.get(), &frmDataTable::recordingStopped);
        r.table->RecordPeriod(0, 0, 1, 0, 2, 0);
        QCOMPARE(r.table->CountRecordCount, 60);
        r.table->BeginRecordData();
        QVERIFY(r.table->isRecording());
        QCOMPARE(started.count(), 1);
        const QDateTime start = r.startTime();
        QVERIFY(start.isValid());

        QStringList volts, amps;
        int ticks = 0;
        while (r.table->isRecording() && ticks < 100) {
            ++ticks;
            const int v = (ticks * 37) % 23; // the maximum falls on a different tick of each row
            const int a = (ticks * 11) % 7;
            volts.append(QString("%1.50").arg(v));
            amps.append(QString("0.%1").arg(a));
            r.tickWith(volts.last(), amps.last());
        }
        QCOMPARE(ticks, 61);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(r.table->iCurrentRow, 12);

        const auto rows = r.file.rows("select SeqNo,RecTime,PVal,SVal,DiffLastTime,TimeTick,Reason,Reason2,"
                                      "Reason3,Comment from datatemp order by SeqNo");
        QCOMPARE(rows.size(), 12);
        for (int k = 0; k < 12; ++k) {
            QString maxV = volts.at(5 * k), maxA = amps.at(5 * k);
            for (int t = 5 * k; t < 5 * k + 5; ++t) {
                if (volts.at(t).toDouble() > maxV.toDouble())
                    maxV = volts.at(t);
                if (amps.at(t).toDouble() > maxA.toDouble())
                    maxA = amps.at(t);
            }
            const QStringList expected{QString::number(k),
                                       formatRecordTime(start.addSecs(5 * k)),
                                       maxV,
                                       maxA,
                                       k == 0 ? "0" : "5",
                                       QString::number(5 * k),
                                       "1",
                                       "2",
                                       "3",
                                       ""};
            QCOMPARE(rows.at(k), expected);
            QCOMPARE(r.table->GetValuePrimary(k), maxV);
        }
        // The first row is at the start, with no difference.
        QCOMPARE(rows.first().at(1), r.table->txtStartTime->text());
        QCOMPARE(r.table->gridModel().rowCount(), 12);
        QCOMPARE(r.graph.lIdx, 12);
        QCOMPARE(r.graph.CWGraph1->values(0).size(), std::size_t{12});
        QCOMPARE(r.graph.CWGraph1->values(0).back(), rows.last().at(2).toDouble());
        QVERIFY(r.boxes.shown().isEmpty());
    }

    void reduction_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QString>("stored");
        QTest::newRow("minimum 5 3 4 6 7") << 2 << 1 << QStringList{"5", "3", "4", "6", "7"} << "3";
        QTest::newRow("maximum 5 3 4 6 7") << 2 << 0 << QStringList{"5", "3", "4", "6", "7"} << "7";
        QTest::newRow("average 1 to 5") << 2 << 2 << QStringList{"1", "2", "3", "4", "5"} << "3.00";
        QTest::newRow("average of two") << 1 << 2 << QStringList{"1.25", "1.5"} << "1.375";
        QTest::newRow("average to three decimals") << 1 << 2 << QStringList{"1.0001", "1.0002"} << "1.00";
        QTest::newRow("minimum keeps the shown text")
            << 2 << 1 << QStringList{"5.000", "3.000", "4.000", "6.000", "7.000"} << "3.000";
        QTest::newRow("minimum of readings above 99999") << 1 << 1 << QStringList{"120000", "150000"} << "99999";
        QTest::newRow("maximum over 10 seconds")
            << 3 << 0 << QStringList{"1", "9.5", "2", "3", "4", "5", "6", "7", "8", "9"} << "9.5";
        QTest::newRow("unlisted scale folds two ticks") << 12 << 0 << QStringList{"1", "2"} << "2";
        // Readings that are not numbers are left out: blank until first polled
        // (or in parallel mode), or a garbled reply.
        QTest::newRow("minimum, blank first tick") << 2 << 1 << QStringList{"", "5", "3", "4", "6"} << "3";
        QTest::newRow("maximum, blank first tick") << 2 << 0 << QStringList{"", "5", "3", "4", "6"} << "6";
        QTest::newRow("average leaves out garbage") << 2 << 2 << QStringList{"1", "2", "----", "2", "1"} << "1.50";
        QTest::newRow("average, blank first tick") << 1 << 2 << QStringList{"", "2.5"} << "2.5";
        QTest::newRow("a row without readings is empty") << 1 << 0 << QStringList{"", ""} << "";
    }
    void reduction()
    {
        QFETCH(int, scale);
        QFETCH(int, mode);
        QFETCH(QStringList, readings);
        QFETCH(QString, stored);
        Recorder r(2);
        r.start(600, static_cast<qint16>(scale), static_cast<qint16>(mode));
        for (int i = 0; i < readings.size(); ++i) {
            QCOMPARE(r.file.count("datatemp"), 0);
            r.tickWith(readings.at(i), readings.at(readings.size() - 1 - i));
        }
        QCOMPARE(r.file.rows("select PVal,PVal2 from datatemp"), QList<QStringList>({{stored, stored}}));
        // The boxes start over for the next row.
        QCOMPARE(r.table->txtCh1V->text(), QString("0"));
        QCOMPARE(r.table->txtTick->text(), QString("0"));
    }

    void averageShowsTheRunningValue()
    {
        Recorder r;
        r.start(60, 2, 2);
        r.tickWith("1", "0.1");
        QCOMPARE(r.table->txtCh1V->text(), QString("1"));
        QCOMPARE(r.table->txtTick->text(), QString("0"));
        r.tickWith("2", "0.2");
        QCOMPARE(r.table->txtCh1V->text(), QString("1.50"));
        QCOMPARE(r.table->txtCh1A->text(), QString("0.15"));
        QCOMPARE(r.table->txtTick->text(), QString("1"));
    }

    // "1 second" stores every reading as shown, on every channel shown.
    void oneSecondCopiesEveryTick()
    {
        Recorder r(3);
        r.start(4, 0, 1);
        for (int t = 0; t < 5; ++t) {
            r.panel.show(0, "5.0" + QString::number(t), "1.00" + QString::number(t));
            r.panel.show(1, "6.0" + QString::number(t), "2.00" + QString::number(t));
            r.panel.show(2, "3.3", "");
            r.tick();
        }
        QVERIFY(!r.table->isRecording());
        const auto rows = r.file.rows("select " + RowColumns + " from datatemp order by SeqNo");
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.at(0), QStringList({"0", r.table->txtStartTime->text(), "5.00", "1.000", "1", "6.00", "2.000",
                                          "2", "3.3", "", "3", "", "0", "0"}));
        QCOMPARE(rows.at(4).mid(2, 2), QStringList({"5.04", "1.004"}));
        QCOMPARE(rows.at(4).mid(12), QStringList({"4", "1"}));
    }

    void startIsRefused_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("withPanel");
        QTest::addColumn<bool>("output");
        QTest::addColumn<QString>("message");
        QTest::newRow("not connected") << 2 << true << true
                                       << "Please check connection with device and then try again!";
        QTest::newRow("output off") << 3 << true << false
                                    << "Please setup Device into Auto Run mode and then try again!";
        QTest::newRow("no panel") << 3 << false << true << "Please setup Device into Auto Run mode and then try again!";
    }
    void startIsRefused()
    {
        QFETCH(int, state);
        QFETCH(bool, withPanel);
        QFETCH(bool, output);
        QFETCH(QString, message);
        Recorder r;
        r.host.state = state;
        r.panel.IsOutput = output;
        if (!withPanel)
            r.host.panel = nullptr;
        QVERIFY(r.file.exec("insert into datatemp (SeqNo,RecTime) values (0,'2024/03/01 10:00:00')"));
        QSignalSpy started(r.table.get(), &frmDataTable::recordingStarted);
        r.start(60, 0, 0);
        QCOMPARE(r.boxes.texts(), QStringList{message});
        QCOMPARE(r.boxes.shown().first().icon, IMessageBox::Icon::Information);
        QVERIFY(!r.table->isRecording());
        QCOMPARE(started.count(), 0);
        // A start that cannot record leaves the rows there were.
        QCOMPARE(r.file.count("datatemp"), 1);
        QVERIFY(r.table->txtStartTime->text().isEmpty());
    }

    // The panel's flag follows the output: with the output on, a recording starts.
    void startFollowsTheOutputState()
    {
        Recorder r;
        r.panel.setOutputValue(false);
        r.start(60, 0, 0);
        QVERIFY(!r.table->isRecording());
        r.boxes.clear();
        r.panel.setOutputValue(true);
        r.start(60, 0, 0);
        QVERIFY(r.table->isRecording());
        QVERIFY(r.boxes.shown().isEmpty());
    }

    // The end time is the start plus the recording's seconds, whatever the interval.
    void startShowsStartAndEndTimes()
    {
        Recorder r;
        r.table->RecordPeriod(1, 1, 1, 5, 2, 0);
        QCOMPARE(r.table->CountRecordCount, 90065);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        r.table->BeginRecordData();
        const QDateTime start = r.startTime();
        QVERIFY(start >= before && start <= QDateTime::currentDateTime());
        QCOMPARE(r.table->txtEndTime->text(), formatRecordTime(start.addSecs(90065)));
    }

    void stopEndsTheRecording()
    {
        Recorder r;
        QSignalSpy stopped(r.table.get(), &frmDataTable::recordingStopped);
        r.start(60, 0, 0);
        r.tick(3);
        r.table->EndRecordData(0);
        QVERIFY(!r.table->isRecording());
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(r.table->CountRecordCount, 57);
        QCOMPARE(r.file.count("datatemp"), 3);
    }

    // Row times count elapsed seconds, not the time of day.
    void recordingAcrossMidnight()
    {
        Recorder r;
        MidnightClock midnight;
        platform::setClock(&midnight);
        r.start(10, 0, 0);
        for (int t = 0; t < 6; ++t) {
            midnight.now += 1.0;
            r.table->TimerRecordData_Timer();
        }
        platform::setClock(&r.clock);
        const QDateTime start = r.startTime();
        const auto rows = r.file.rows("select DiffLastTime,TimeTick,RecTime from datatemp order by SeqNo");
        QCOMPARE(rows.size(), 6);
        for (int k = 0; k < 6; ++k)
            QCOMPARE(rows.at(k),
                     QStringList({k == 0 ? "0" : "1", QString::number(k), formatRecordTime(start.addSecs(k))}));
    }

    // Late ticks do not make the seconds drift: differences add up to the elapsed time.
    void differencesFollowTheElapsedTime()
    {
        Recorder r;
        r.start(10, 0, 0);
        for (const double step : {1.0, 1.4, 1.4, 0.7, 1.0}) {
            r.clock.advance(step);
            r.table->TimerRecordData_Timer();
        }
        QCOMPARE(r.file.rows("select DiffLastTime,TimeTick from datatemp order by SeqNo"),
                 QList<QStringList>({{"0", "0"}, {"1", "1"}, {"2", "3"}, {"0", "3"}, {"1", "4"}}));
    }

    void rowValuesByIndex()
    {
        Recorder r;
        r.start(60, 0, 0);
        for (int t = 0; t < 3; ++t)
            r.tickWith("5.0" + QString::number(t), "1.00" + QString::number(t));
        frmDataTable &t = *r.table;
        QCOMPARE(t.iCurrentRow, 3);
        QCOMPARE(t.GetValuePrimary(-1), QString());
        QCOMPARE(t.GetValuePrimary(t.iCurrentRow), QString());
        QCOMPARE(t.GetValuePrimary(0), QString("5.00"));
        QCOMPARE(t.GetValuePrimary(2), QString("5.02"));
        QCOMPARE(t.GetValueSecond(-1), QString());
        QCOMPARE(t.GetValueSecond(3), QString());
        QCOMPARE(t.GetValueSecond(1), QString("1.001"));
        QCOMPARE(t.GetDate(-1), QString());
        QCOMPARE(t.GetDate(3), QString());
        QCOMPARE(t.GetDate(0), t.txtStartTime->text());
        // A filter changes the grid, not the rows of the recording.
        t.EndRecordData(0);
        t.CmbSample->setCurrentIndex(1);
        QCOMPARE(t.iCurrentRow, 0);
        QCOMPARE(t.GetValuePrimary(2), QString("5.02"));
        t.ClearData();
        QCOMPARE(t.GetValuePrimary(0), QString());
    }

    // The sampler stores reasons "1", "2", "3": "Time" finds nothing, "超過上限" everything.
    void filters_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("label");
        QTest::newRow("all") << 0 << "全部" << 4 << "";
        QTest::newRow("time") << 1 << "Time" << 0 << "";
        QTest::newRow("above upper") << 2 << "超過上限" << 4 << "超過上限";
        QTest::newRow("below lower") << 3 << "超過下限" << 0 << "";
        QTest::newRow("fixed level") << 4 << "符合條件: 固定準位 (相對於讀值)" << 0 << "";
        QTest::newRow("percentage") << 5 << "符合條件: 百分比 (相對於讀值)" << 4 << "";
    }
    void filters()
    {
        QFETCH(int, entry);
        QFETCH(QString, text);
        QFETCH(int, rows);
        QFETCH(QString, label);
        Recorder r(2);
        r.start(3, 0, 0);
        for (int t = 0; t < 4; ++t)
            r.tickWith("5.00", "1.000");
        QVERIFY(!r.table->isRecording());
        r.table->CmbSample->setCurrentIndex(entry == 0 ? 5 : 0);
        r.table->CmbSample->setCurrentIndex(entry);
        QCOMPARE(r.table->CmbSample->currentText(), text);
        const RecordTableModel &grid = r.table->gridModel();
        QCOMPARE(grid.rowCount(), rows);
        QCOMPARE(r.table->iCurrentRow, rows);
        for (int row = 0; row < rows; ++row) {
            QCOMPARE(grid.cellText(row, 0), QString::number(row));
            QCOMPARE(grid.cellText(row, 4), label);
            QCOMPARE(grid.cellText(row, 5), QString("5.00"));
            QCOMPARE(grid.cellText(row, 7), QString("2"));
        }
    }

    void gridHeader_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QStringList>("header");
        const QStringList ch1{"CH1:Voltage[V]", "CH1:Current[A]", "CH1:取樣條件"};
        const QStringList ch2{"CH2:Voltage[V]", "CH2:Current[A]", "CH2:取樣條件"};
        const QStringList ch3{"CH3:Voltage[V]", "CH3:Current[A]", "CH3:取樣條件"};
        const QString comment = "    註    解   ";
        QTest::newRow("one channel") << 1 << QStringList{"取樣次數", "取樣Time"} + ch1 + QStringList{comment};
        QTest::newRow("two channels") << 2 << QStringList{"取樣次數", "取樣Time"} + ch1 + ch2 + QStringList{comment};
        QTest::newRow("three channels") << 3
                                        << QStringList{"取樣次數", "取樣Time"} + ch1 + ch2 + ch3 + QStringList{comment};
    }
    void gridHeader()
    {
        QFETCH(int, channels);
        QFETCH(QStringList, header);
        Recorder r(channels);
        r.table->ClearData();
        const RecordTableModel &grid = r.table->gridModel();
        QStringList shown;
        for (int c = 0; c < grid.columnCount(); ++c)
            shown.append(grid.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        QCOMPARE(shown, header);
        QCOMPARE(r.table->grdHelQuest->columnWidth(0), 60);
        QCOMPARE(r.table->grdHelQuest->columnWidth(1), 107);
        QCOMPARE(r.table->grdHelQuest->columnWidth(grid.commentColumn()), 133);
        QCOMPARE(r.table->txtCh2V->isHidden(), channels < 2);
        QCOMPARE(r.table->txtCh3A->isHidden(), channels < 3);
    }

    // The main window sets the channel count after creating the window.
    void channelCountSetAfterCreation()
    {
        RecordFile file;
        FakeRecorderHost host;
        frmDataTable table(host, file.db());
        table.ContrlIdx = 2;
        table.show();
        QCOMPARE(table.gridModel().columnCount(), 12);
    }

    void rowColoursAndHighlight()
    {
        Recorder r;
        r.start(60, 0, 0);
        r.tick(4);
        const RecordTableModel &grid = r.table->gridModel();
        const auto fore = [&](int row, int col) { return grid.data(grid.index(row, col), Qt::ForegroundRole); };
        const auto back = [&](int row, int col) { return grid.data(grid.index(row, col), Qt::BackgroundRole); };
        const QColor blue(0, 0, 255), yellow(255, 255, 192), pink(255, 192, 255), black(0, 0, 0);
        QCOMPARE(fore(0, 0).value<QColor>(), blue);
        QCOMPARE(back(3, 5).value<QColor>(), yellow);

        r.table->RowSelected(1);
        for (int col = 1; col <= 4; ++col) {
            QCOMPARE(back(1, col).value<QColor>(), pink);
            QCOMPARE(fore(1, col).value<QColor>(), black);
        }
        QCOMPARE(back(1, 0).value<QColor>(), yellow);
        QCOMPARE(back(1, 5).value<QColor>(), yellow);
        r.table->RowSelected(2);
        QCOMPARE(back(1, 2).value<QColor>(), yellow);
        QCOMPARE(fore(1, 2).value<QColor>(), blue);
        QCOMPARE(back(2, 2).value<QColor>(), pink);
        r.table->RowSelected(-1);
        r.table->RowSelected(r.table->iCurrentRow);
        QCOMPARE(grid.selectedRow(), 2);

        // Rows read back by a filter are in the grid's plain colours.
        r.table->EndRecordData(0);
        r.table->CmbSample->setCurrentIndex(5);
        QVERIFY(!back(0, 1).isValid());
        QCOMPARE(grid.selectedRow(), -1);
    }

    // The newest row stays in view (the previous one would go to the top, as
    // far as the grid scrolls); a selected row comes third from the top.
    void gridScrollsWithTheRecording()
    {
        Recorder r;
        r.table->resize(700, 400);
        r.table->show();
        QVERIFY(QTest::qWaitForWindowExposed(r.table.get()));
        const int visible = r.table->visibleRows();
        QVERIFY(visible > 3);
        r.start(600, 0, 0);
        r.tick(visible + 6);
        const int rows = r.table->iCurrentRow;
        QTableView *grid = r.table->grdHelQuest;
        QVERIFY(grid->rowAt(1) > 0);
        QVERIFY(grid->rowAt(1) <= rows - 2);
        QCOMPARE(grid->verticalScrollBar()->value(), grid->verticalScrollBar()->maximum());
        const QRect newest = grid->visualRect(r.table->gridModel().index(rows - 1, 0));
        QVERIFY(grid->viewport()->rect().contains(newest));
        r.table->RowSelected(5);
        QCOMPARE(grid->rowAt(1), 2);
        r.table->resize(700, 600);
        QVERIFY(r.table->visibleRows() > visible);
    }

    // Comments belong to the last column, whatever the number of channels.
    void commentsGoToTheLastColumn_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("column");
        QTest::newRow("one channel") << 1 << 5;
        QTest::newRow("two channels") << 2 << 8;
        QTest::newRow("three channels") << 3 << 11;
    }
    void commentsGoToTheLastColumn()
    {
        QFETCH(int, channels);
        QFETCH(int, column);
        Recorder r(channels);
        r.start(60, 0, 0);
        r.tick(3);
        frmDataTable &t = *r.table;
        if (column != 5) {
            t.grdHelQuest_Click(1, 5);
            QVERIFY(t.pnlDataComment->isHidden());
        }
        t.grdHelQuest_Click(1, column);
        QVERIFY(!t.pnlDataComment->isHidden());
        QCOMPARE(t.txtDataComment->text(), QString());
        const QString comment = "it's '; drop table datamain; --";
        t.txtDataComment->setText(comment);
        t.cmdProcOK_Click();
        QVERIFY(t.pnlDataComment->isHidden());
        QCOMPARE(t.gridModel().cellText(1, column), comment);
        QCOMPARE(r.file.column("select Comment from datatemp order by SeqNo"), QVariantList({"", comment, ""}));
        QCOMPARE(r.file.count("datamain"), 0);

        t.grdHelQuest_Click(1, column);
        QCOMPARE(t.txtDataComment->text(), comment);
        t.txtDataComment->setText("other");
        t.cmdProcCancel_Click();
        QVERIFY(t.pnlDataComment->isHidden());
        QCOMPARE(t.gridModel().cellText(1, column), comment);
        QCOMPARE(r.file.column("select Comment from datatemp where SeqNo=1"), QVariantList{comment});
        QVERIFY(r.boxes.shown().isEmpty());
    }

    // A row costs one statement when written and none on the ticks between,
    // at row 3000 as at row 10.
    void perTickCostStaysFlat()
    {
        Recorder r;
        r.start(3600, 0, 0);
        RecordDatabase &db = r.table->database();
        r.tick(10);
        quint64 before = db.statementCount();
        r.tick(1);
        QCOMPARE(db.statementCount() - before, 1u);
        r.tick(2990);
        before = db.statementCount();
        r.tick(1);
        QCOMPARE(db.statementCount() - before, 1u);
        QCOMPARE(db.samplePrepareCount(), 1);
        QCOMPARE(r.file.count("datatemp"), 3002);

        Recorder reduced;
        reduced.start(60, 2, 2);
        before = reduced.table->database().statementCount();
        reduced.tick(4);
        QCOMPARE(reduced.table->database().statementCount(), before);
        reduced.tick(1);
        QCOMPARE(reduced.table->database().statementCount() - before, 1u);
    }

    // A database error stops the recording; the rows written stay.
    void databaseErrorStopsTheRecording()
    {
        Recorder r;
        QSignalSpy stopped(r.table.get(), &frmDataTable::recordingStopped);
        r.start(60, 1, 0);
        r.tickWith("5.00", "1.000");
        r.tickWith("5.00", "1.000");
        QCOMPARE(r.file.count("datatemp"), 1);
        QVERIFY(r.file.exec("create trigger full_disk before insert on datatemp begin "
                            "select raise(abort, 'disk full'); end"));
        r.tickWith("5.00", "1.000");
        // A garbled reading alone does not stop it.
        QVERIFY(r.table->isRecording());
        r.tickWith("5.00", "----");
        QCOMPARE(r.boxes.texts(), QStringList{"disk full"});
        QVERIFY(!r.table->isRecording());
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(r.file.count("datatemp"), 1);
        QCOMPARE(r.table->iCurrentRow, 1);
    }

    // Every position records at the spacing its label names.
    void intervalLimitFollowsTheLabel_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("limit");
        for (int position = 0; position < sampleinterval::PositionCount; ++position)
            QTest::addRow("%s", qPrintable(sampleinterval::labels().at(position)))
                << position << (position == 0 ? 0 : sampleinterval::seconds(position) - 1);
        QTest::newRow("beyond the list") << 12 << 1;
        QTest::newRow("negative") << -1 << 1;
    }
    void intervalLimitFollowsTheLabel()
    {
        QFETCH(int, position);
        QFETCH(int, limit);
        Recorder r;
        r.table->RecordPeriod(0, 0, 1, 0, static_cast<qint16>(position), 0);
        QCOMPARE(r.table->intervalLimit(), limit);
    }

    void tenMinutesWriteARowEvery600Ticks()
    {
        Recorder r;
        r.start(1500, 7, 0);
        r.tick(599);
        QCOMPARE(r.file.count("datatemp"), 0);
        r.tick(1);
        QCOMPARE(r.file.count("datatemp"), 1);
        r.tick(600);
        QCOMPARE(r.file.column("select DiffLastTime from datatemp where SeqNo=1"), QVariantList{600});
    }

    // The filter and the record list renumber the grid: not while recording.
    void recordingLocksFilterAndLoad()
    {
        Recorder r;
        r.start(60, 0, 0);
        r.tick(2);
        QVERIFY(!r.table->CmbSample->isEnabled());
        r.table->CmbSample->setCurrentIndex(1);
        r.table->cmdLoadRecord_Click();
        QVERIFY(r.table->List1->isHidden());
        r.tick(1);
        QCOMPARE(r.table->iCurrentRow, 3);
        QCOMPARE(r.file.column("select max(SeqNo) from datatemp"), QVariantList{2});
        r.table->EndRecordData(0);
        QVERIFY(r.table->CmbSample->isEnabled());
        r.table->cmdLoadRecord_Click();
        QVERIFY(!r.table->List1->isHidden());
    }
};

QTEST_MAIN(TestRecordTable)
#include "tst_recordtable.moc"
