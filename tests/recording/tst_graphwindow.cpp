// The graph recorder window: channels, traces, axes, statistics and buttons.
#include "tst_graphfixture.h"

#include "recording/graph/GraphStatistics.h"
#include "recording/graph/GraphView.h"
#include "recording/graph/PlotCursors.h"

#include <QCategoryAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QShowEvent>
#include <QTest>
#include <QValueAxis>

#include <cmath>

using namespace qle;
using namespace qle::testing;

namespace {

using Answer = IMessageBox::Answer;

QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QList<bool> enabledBoxes(const frmGraphicRecord &graph)
{
    QList<bool> enabled;
    for (const QCheckBox *box : graph.cbPlot)
        enabled.append(box->isEnabled());
    return enabled;
}

QList<bool> visiblePlots(const frmGraphicRecord &graph)
{
    QList<bool> visible;
    for (int plot = 0; plot < frmGraphicRecord::Plots; ++plot)
        visible.append(graph.CWGraph1->isPlotVisible(plot));
    return visible;
}

QColor markerColor(const frmGraphicRecord &graph, int plot)
{
    return graph.Line.at(static_cast<std::size_t>(plot))->palette().color(QPalette::Window);
}

} // namespace

class TestGraphWindow : public QObject {
    Q_OBJECT

private slots:
    void channelCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<bool>>("enabled");
        QTest::addColumn<QList<bool>>("visible");
        QTest::addColumn<int>("contrlIdx");
        QTest::addColumn<QStringList>("channelList");
        const QStringList one{"CH1 Vol", "CH1 Cur"};
        QTest::newRow("1") << "1" << QList<bool>{true, true, false, false, false, false}
                           << QList<bool>{true, true, false, false, false, false} << 0 << one;
        QTest::newRow("2") << "2" << QList<bool>{true, true, true, true, false, false}
                           << QList<bool>{true, true, true, true, false, false} << 1
                           << QStringList{"CH1 Vol", "CH1 Cur", "CH2 Vol", "CH2 Cur"};
        QTest::newRow("3") << "3" << QList<bool>{true, true, true, true, true, true}
                           << QList<bool>{true, true, true, true, true, true} << 2
                           << QStringList{"CH1 Vol", "CH1 Cur", "CH2 Vol", "CH2 Cur", "CH3 Vol", "CH3 Cur"};
        // Other text shows one channel and leaves the boxes of the others as they were (all enabled here).
        QTest::newRow("other text") << "x" << QList<bool>{true, true, true, true, true, true}
                                    << QList<bool>{true, true, false, false, false, false} << 0 << one;
    }
    void channelCount()
    {
        QFETCH(QString, text);
        QFETCH(QList<bool>, enabled);
        QFETCH(QList<bool>, visible);
        QFETCH(int, contrlIdx);
        QFETCH(QStringList, channelList);
        GraphRig rig(3);
        rig.graph->txtChannels->setText(text);
        QCOMPARE(enabledBoxes(*rig.graph), enabled);
        QCOMPARE(visiblePlots(*rig.graph), visible);
        QCOMPARE(int{rig.graph->ContrlIdx}, contrlIdx);
        QCOMPARE(items(rig.graph->lstChannel), channelList);
    }

    // One channel: plots 1 and 2 only, whatever boxes 2..5 say, and CH1 statistics only.
    void oneChannelWindow()
    {
        GraphRig rig(1, 2);
        for (QCheckBox *box : rig.graph->cbPlot)
            box->setChecked(true);
        QVERIFY(rig.storeRows({"5.00", "5.10"}, {"1.000", "0.900"}));
        rig.graph->ReDraw();
        rig.graph->ShowGraph(GraphRig::row(2, "5.20", "0.800"));
        rig.graph->updateNow();

        QCOMPARE(visiblePlots(*rig.graph), QList<bool>({true, true, false, false, false, false}));
        QCOMPARE(rig.graph->CWGraph1->pointCount(0), 3);
        QCOMPARE(rig.graph->CWGraph1->pointCount(2), 0);
        QCOMPARE(rig.graph->CWGraph1->pointCount(4), 0);
        QCOMPARE(rig.graph->lstChannel->count(), 2);
        const QStringList lines = items(rig.graph->lstWave);
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.at(3).startsWith("CH1 Max:"));
        QVERIFY(lines.at(4).startsWith("CH1 Min:"));
    }

    // ReDraw keeps the numbers it read: rows appended since are read alone;
    // a row stored ahead of them in SeqNo order, or a cleared table, makes it
    // read the whole table. The traces are always those of a fresh window.
    void redrawAfterAppendedRows()
    {
        const auto trace = [](const frmGraphicRecord &graph, int plot) {
            QStringList texts;
            for (const double value : graph.CWGraph1->values(plot))
                texts.append(std::isnan(value) ? QStringLiteral("gap") : QString::number(value));
            return texts;
        };
        GraphRig rig(2, 0);
        QVERIFY(rig.storeRows({"1", "2"}, {"0.1", "0.2"}, 10));
        rig.graph->ReDraw();
        QVERIFY(rig.storeRows({"3", "x"}, {"0.3", ""}, 12));
        rig.graph->ReDraw();
        QCOMPARE(trace(*rig.graph, 0), (QStringList{"1", "2", "3", "gap"}));
        QCOMPARE(trace(*rig.graph, 3), (QStringList{"0.1", "0.2", "0.3", "gap"}));
        QCOMPARE(rig.graph->lIdx, 4);

        QVERIFY(rig.storeRows({"0.5"}, {"0.05"}, 5));
        rig.graph->ReDraw();
        QCOMPARE(trace(*rig.graph, 2), (QStringList{"0.5", "1", "2", "3", "gap"}));
        GraphRig fresh(2, 0);
        frmGraphicRecord other(fresh.host, rig.file.db());
        other.txtChannels->setText("2");
        other.ReDraw();
        for (int plot = 0; plot < 4; ++plot)
            QCOMPARE(trace(other, plot), trace(*rig.graph, plot));

        rig.table->ClearData();
        QVERIFY(rig.storeRows({"9"}, {"0.9"}));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        QCOMPARE(trace(*rig.graph, 0), QStringList{"9"});
        QCOMPARE(items(rig.graph->lstWave).at(3), QString("CH1 Max:9V 0.9A"));
    }

    void statisticsOfThreePoints()
    {
        GraphRig rig(1, 2);
        QCOMPARE(items(rig.graph->lstWave).mid(0, 3),
                 QStringList({"Total Time:0d 0:0:0", "Time Slice: 5sec", "Samples: 0"}));
        for (int i = 0; i < 3; ++i)
            rig.graph->ShowGraph(GraphRig::row(i, "5.00", "1.000"));
        rig.graph->updateNow();
        QCOMPARE(rig.graph->lIdx, 3);
        QCOMPARE(items(rig.graph->lstWave).mid(0, 3),
                 QStringList({"Total Time:0:0:10", "Time Slice: 5sec", "Samples: 2"}));
    }

    // The largest and smallest values are numbers, not texts: 10.2 is above
    // 9.5. Each shows as it was stored; blank and unreadable cells are left out.
    void statisticsCompareNumbers()
    {
        GraphRig rig(2, 0);
        QList<RecordRow> rows;
        const QStringList volts{"9.5", "10.20", "2.25", "abc"};
        const QStringList amps{"0.95", "1.020", "", "0.975"};
        for (int i = 0; i < volts.size(); ++i) {
            RecordRow row = GraphRig::row(i, volts.at(i), amps.at(i));
            row.pval[1] = QString::number(100 - i); // channel 2: 100, 99, 98, 97
            row.sval[1] = "";
            rows.append(row);
        }
        QVERIFY(rig.store(rows));

        const QStringList lines = graph::statisticsLines(rig.file.db(), 2, 1, 4);
        QCOMPARE(lines.mid(3),
                 QStringList({"CH1 Max:10.20V 1.020A", "CH1 Min:2.25V 0.95A", "CH2 Max:100V A", "CH2 Min:97V A"}));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        QCOMPARE(items(rig.graph->lstWave).mid(3), lines.mid(3));
    }

    // The window keeps the extremes between refreshes; after each change to
    // the working table its list must equal a whole read of the table.
    void statisticsFollowTheWorkingTable()
    {
        GraphRig rig(1, 0);
        // Every activation refreshes the list.
        const auto shown = [&] {
            QShowEvent activation;
            QCoreApplication::sendEvent(rig.graph.get(), &activation);
            return items(rig.graph->lstWave).mid(3);
        };
        const auto wholeRead = [&] { return graph::statisticsLines(rig.file.db(), 1, 1, 0).mid(3); };

        // Stored in SeqNo order 5, 1: the equal maxima differ in text, and
        // the row stored first wins whether ReDraw reads by SeqNo or not.
        QVERIFY(rig.storeRows({"5.0"}, {"1.0"}, 5));
        QVERIFY(rig.storeRows({"5.000"}, {"0.5"}, 1));
        rig.graph->ReDraw();
        QCOMPARE(shown(), QStringList({"CH1 Max:5.0V 1.0A", "CH1 Min:5.0V 0.5A"}));
        QCOMPARE(shown(), wholeRead());

        // Appended rows are read on their own.
        QVERIFY(rig.storeRows({"7.25", "0.75"}, {"2.0", "0.1"}, 6));
        QCOMPARE(shown(), QStringList({"CH1 Max:7.25V 2.0A", "CH1 Min:0.75V 0.1A"}));

        // Cleared, then fewer rows than before: nothing of the old rows stays.
        RecordDatabase records(rig.file.db());
        QVERIFY(records.clearWorking());
        QVERIFY(rig.storeRows({"3.5"}, {"0.3"}));
        QCOMPARE(shown(), QStringList({"CH1 Max:3.5V 0.3A", "CH1 Min:3.5V 0.3A"}));

        // A record loaded over it.
        RecordHeader header;
        header.comment = "x";
        QString recNo;
        QVERIFY(records.clearWorking() && rig.storeRows({"1.5", "9.5"}, {"0.2", "0.4"}) &&
                records.saveRecord(header, &recNo) && records.clearWorking() && rig.storeRows({"2"}, {"2"}));
        QCOMPARE(shown(), QStringList({"CH1 Max:2V 2A", "CH1 Min:2V 2A"}));
        QVERIFY(records.loadRecord(recNo));
        QCOMPARE(shown(), QStringList({"CH1 Max:9.5V 0.4A", "CH1 Min:1.5V 0.2A"}));
        QCOMPARE(shown(), wholeRead());
    }

    void statisticsOfAnEmptyTable()
    {
        GraphRig rig(3);
        QCOMPARE(items(rig.graph->lstWave),
                 QStringList({"Total Time:0d 0:0:0", "Time Slice: 1sec", "Samples: 0", "CH1 Max:V A", "CH1 Min:V A",
                              "CH2 Max:V A", "CH2 Min:V A", "CH3 Max:V A", "CH3 Min:V A"}));
    }

    // ReDraw of 10 stored rows: exactly 10 points per trace, channel by channel.
    void reDrawPlotsTheStoredRows()
    {
        GraphRig rig(3, 2);
        QList<RecordRow> rows;
        for (int i = 0; i < 10; ++i) {
            RecordRow row;
            row.seqNo = 9 - i; // stored in reverse: drawn in SeqNo order
            row.recTime = "2024/03/01 10:00:00";
            for (std::size_t ch = 0; ch < 3; ++ch) {
                row.pval[ch] = QString::number(10 * (ch + 1) + (9 - i));
                row.sval[ch] = QString::number((ch + 1) + (9 - i) / 10.0);
            }
            rows.append(row);
        }
        QVERIFY(rig.store(rows));
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));

        rig.graph->ReDraw();
        QCOMPARE(rig.graph->lIdx, 10);
        rig.graph->updateNow();
        const double step = 5.0 / 86400;
        for (int plot = 0; plot < 6; ++plot) {
            const QLineSeries *series = rig.graph->CWGraph1->series(plot);
            QCOMPARE(rig.graph->CWGraph1->pointCount(plot), 10);
            QCOMPARE(series->count(), 10);
            const int ch = plot / 2;
            for (int i = 0; i < 10; ++i) {
                const double expected = plot % 2 == 0 ? 10.0 * (ch + 1) + i : (ch + 1) + i / 10.0;
                QCOMPARE(series->at(i).y(), expected);
                QVERIFY(std::abs(series->at(i).x() - i * step) < 1e-12);
            }
        }
    }

    // A blank or unreadable reading is a gap: the line breaks there.
    void blankReadingsAreGaps()
    {
        GraphRig rig(1, 2);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        QVERIFY(rig.storeRows({"", "5.00", "5.10", "?", "5.20"}, {"1", "1", "1", "1", "1"}));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        const GraphView &view = *rig.graph->CWGraph1;
        QCOMPARE(view.pointCount(0), 5);
        QVERIFY(std::isnan(view.values(0)[0]) && std::isnan(view.values(0)[3]));
        const double step = 5.0 / 86400;
        QCOMPARE(view.series(0)->points(), QList<QPointF>({QPointF(step, 5.0), QPointF(2 * step, 5.1)}));
        // The piece after the gap is a line of its own, in the trace's pen.
        QList<QPointF> after;
        for (QAbstractSeries *series : view.chart()->series()) {
            auto *line = qobject_cast<QLineSeries *>(series);
            if (line && line != view.series(0) && line->pen() == view.series(0)->pen() && line->count() > 0 &&
                line->at(0).x() > 3 * step)
                after += line->points();
        }
        QCOMPARE(after, QList<QPointF>({QPointF(4 * step, 5.2)}));
    }

    // A reading with gaps on both sides draws no line: it gets a round mark
    // in its trace's colour, on screen. Readings in a line get none.
    void aReadingBetweenGapsIsMarked()
    {
        GraphRig rig(1, 2);
        rig.graph->resize(1000, 640);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        QVERIFY(rig.storeRows({"5.0", "5.5", "", "9.0", "?", "20.0", ""}, {"1", "1", "1", "1", "1", "1", "1"}));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        GraphView &view = *rig.graph->CWGraph1;
        const double step = 5.0 / 86400;
        QCOMPARE(view.pointMarks(0)->points(), QList<QPointF>({QPointF(3 * step, 9.0), QPointF(5 * step, 20.0)}));
        QVERIFY(view.pointMarks(0)->isVisible());
        QCOMPARE(view.pointMarks(0)->color(), view.plotColor(0));
        // The current's readings form one line: no mark.
        QCOMPARE(view.pointMarks(1)->count(), 0);

        // Painted where the reading lies, in the trace's colour.
        const QImage shown = view.grab().toImage();
        const QPoint at = view.mapFromScene(view.chart()->mapToPosition(QPointF(3 * step, 9.0), view.series(0)));
        int inked = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                inked += shown.pixelColor(at + QPoint(dx, dy)) == view.plotColor(0) ? 1 : 0;
        QVERIFY2(inked >= 5, qPrintable(QString::number(inked)));

        // Hidden with its trace; gone when the gaps are.
        view.setPlotVisible(0, false);
        QVERIFY(!view.pointMarks(0)->isVisible());
        view.setPlotVisible(0, true);
        view.setPoints(0, {5.0, 5.5, 6.0, 9.0});
        view.redrawNow();
        QCOMPARE(view.pointMarks(0)->count(), 0);
    }

    // Points are appended from the rows the table recorder writes; text that
    // is not a number is a gap.
    void showGraphAppendsRows()
    {
        GraphRig rig(2, 3);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        RecordRow row = GraphRig::row(0, "12.5V", "OVP");
        row.pval[1] = "3.3";
        row.sval[1] = "0.25";
        rig.graph->ShowGraph(row);
        rig.graph->ShowGraph(GraphRig::row(1, "12.0", "1.5"));
        rig.graph->updateNow();
        QCOMPARE(rig.graph->lIdx, 2);

        const GraphView &view = *rig.graph->CWGraph1;
        QCOMPARE(view.values(0).size(), std::size_t{2});
        QCOMPARE(view.values(0)[0], 12.5);
        QVERIFY(std::isnan(view.values(1)[0]));
        QCOMPARE(view.values(2)[0], 3.3);
        QCOMPARE(view.values(3)[0], 0.25);
        QCOMPARE(view.pointCount(4), 0);
        QCOMPARE(view.series(1)->count(), 1);
        QCOMPARE(view.series(1)->at(0), QPointF(10.0 / 86400, 1.5));
    }

    // Points arriving between two redraws reach the chart together, once.
    void redrawIsCoalesced()
    {
        GraphRig rig(3, 0);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        rig.graph->updateNow();
        GraphView &view = *rig.graph->CWGraph1;
        const int before = view.redrawCount();
        for (int i = 0; i < 50; ++i)
            rig.graph->ShowGraph(GraphRig::row(i, "1", "1"));
        QCOMPARE(view.series(0)->count(), 0);
        QVERIFY(view.isRedrawPending());
        rig.graph->updateNow();
        QCOMPARE(view.redrawCount(), before + 1);
        QVERIFY(!view.isRedrawPending());
        for (int plot = 0; plot < 6; ++plot)
            QCOMPARE(view.series(plot)->count(), 50);
    }

    // The time-length list as the sample interval gives it, first entry chosen.
    void clearGraphFillsTheTimeLengths_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("30 seconds") << 4 << QStringList{"5m", "10m", "20m", "30m", "60m"}
                                    << QStringList{"0:0:00", "0:1:00", "0:2:00", "0:3:00", "0:4:00", "0:5:00"};
        QTest::newRow("1 min") << 5 << QStringList{"1 Hr", "3 Hr", "6 Hr", "12Hr", "1Day"}
                               << QStringList{"0:00", "0:10", "0:20", "0:30", "0:40", "0:50", "1:00"};
    }
    void clearGraphFillsTheTimeLengths()
    {
        QFETCH(int, position);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, labels);
        GraphRig rig(1, position);
        QCOMPARE(int{rig.graph->iXTime}, position == 4 ? 30 : 60);
        QStringList shown;
        for (int i = 0; i < rig.graph->cmbXLength->count(); ++i)
            shown.append(rig.graph->cmbXLength->itemText(i));
        QCOMPARE(shown, entries);
        QCOMPARE(rig.graph->cmbXLength->currentIndex(), 0);
        QCOMPARE(rig.graph->CWGraph1->timeLabels(), labels);
    }

    // "1Day" shows elapsed time up to 23:59 in six divisions.
    void oneDayEndsAt2359()
    {
        GraphRig rig(1, 5);
        rig.graph->cmbXLength->setCurrentIndex(4);
        const GraphView &view = *rig.graph->CWGraph1;
        QCOMPARE(view.timeCaption(), QString("Elapsed Time [Min]"));
        QCOMPARE(view.timeLabelFormat(), QString("hh:nn"));
        QCOMPARE(view.timeDivisions(), 6);
        QCOMPARE(view.timeMin(), 0.0);
        QCOMPARE(std::lround(view.timeMax() * 86400), 86340L);
        const QStringList labels = view.timeLabels();
        QCOMPARE(labels.size(), 7);
        QCOMPARE(labels.first(), QString("00:00"));
        QCOMPARE(labels.last(), QString("23:59"));
        QCOMPARE(rig.graph->xLengthIndex(), 4);
    }

    void yRanges_data()
    {
        QTest::addColumn<int>("voltageEntry");
        QTest::addColumn<double>("voltageMax");
        QTest::addColumn<int>("currentEntry");
        QTest::addColumn<double>("currentMax");
        QTest::newRow("defaults: the panel's limits") << 0 << 32.0 << 0 << 5.0;
        QTest::newRow("1 V and 0.1 A") << 1 << 1.0 << 1 << 0.1;
        QTest::newRow("10V and 1.5A") << 3 << 10.0 << 4 << 1.5;
        QTest::newRow("105V and 50A") << 22 << 105.0 << 20 << 50.0;
    }
    void yRanges()
    {
        QFETCH(int, voltageEntry);
        QFETCH(double, voltageMax);
        QFETCH(int, currentEntry);
        QFETCH(double, currentMax);
        GraphRig rig;
        rig.graph->cmbYVoltage->setCurrentIndex(5);
        rig.graph->cmbYCurrent->setCurrentIndex(5);
        rig.graph->cmbYVoltage->setCurrentIndex(voltageEntry);
        rig.graph->cmbYCurrent->setCurrentIndex(currentEntry);
        QCOMPARE(rig.graph->CWGraph1->voltageAxis()->min(), 0.0);
        QCOMPARE(rig.graph->CWGraph1->voltageAxis()->max(), voltageMax);
        QCOMPARE(rig.graph->CWGraph1->currentAxis()->max(), currentMax);
    }

    // Clearing puts both ranges back on "Default" and the voltage caption back.
    void clearGraphResetsTheRanges()
    {
        GraphRig rig;
        rig.graph->cmbYVoltage->setCurrentIndex(3);
        rig.graph->cmbYCurrent->setCurrentIndex(3);
        rig.graph->ClearGraph();
        QCOMPARE(rig.graph->cmbYVoltage->currentIndex(), 0);
        QCOMPARE(rig.graph->cmbYCurrent->currentIndex(), 0);
        QCOMPARE(rig.graph->CWGraph1->voltageAxis()->max(), 32.0);
        QCOMPARE(rig.graph->CWGraph1->currentAxis()->max(), 5.0);
        QCOMPARE(rig.graph->CWGraph1->voltageAxis()->titleText(), QString("Voltage"));
    }

    // Setup keeps a graph with a short, unchanged time slice and clears any other.
    void setupKeepsOrClears_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("kept");
        QTest::newRow("unchanged 5 seconds") << 2 << 2 << true;
        QTest::newRow("unchanged 1 second") << 0 << 0 << true;
        QTest::newRow("unchanged 30 seconds") << 4 << 4 << false;
        QTest::newRow("unchanged 1 Hour") << 9 << 9 << false;
        QTest::newRow("5 to 10 seconds") << 2 << 3 << false;
    }
    void setupKeepsOrClears()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(bool, kept);
        GraphRig rig(1, before);
        rig.host.onPeriod = [&] { rig.host.recScale = after; };
        for (int i = 0; i < 3; ++i)
            rig.graph->ShowGraph(GraphRig::row(i, "1", "1"));
        rig.graph->cmdPeriod_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"If you change record scale, system will reset display "});
        QCOMPARE(rig.boxes.shown().first().icon, IMessageBox::Icon::Information);
        QCOMPARE(rig.host.periods, 1);
        QCOMPARE(rig.graph->lIdx, kept ? 3 : 0);
        QCOMPARE(rig.graph->CWGraph1->pointCount(0), kept ? 3 : 0);
    }

    void setupOfAnEmptyGraphAsksNothing()
    {
        GraphRig rig(1, 2);
        rig.graph->cmdPeriod_Click();
        QVERIFY(rig.boxes.texts().isEmpty());
        QCOMPARE(rig.host.periods, 1);
    }

    void startAndStop_data()
    {
        QTest::addColumn<bool>("menuEnabled");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("starts");
        QTest::addColumn<int>("periods");
        QTest::newRow("output off") << false << 10 << QStringList{"Plase Turn on Device into Output(Run) Mode"} << 0
                                    << 0;
        QTest::newRow("no length set") << true << 0 << QStringList{"Plase setup the time length of record first."} << 0
                                       << 1;
        QTest::newRow("ready") << true << 10 << QStringList{} << 1 << 0;
    }
    void startAndStop()
    {
        QFETCH(bool, menuEnabled);
        QFETCH(int, seconds);
        QFETCH(QStringList, messages);
        QFETCH(int, starts);
        QFETCH(int, periods);
        GraphRig rig;
        rig.host.menuEnabled = menuEnabled;
        rig.table->RecordPeriod(0, 0, 0, static_cast<qint16>(seconds), 0, 0);
        rig.graph->cmdStart_Click();
        QCOMPARE(rig.boxes.texts(), messages);
        QCOMPARE(rig.host.starts, starts);
        QCOMPARE(rig.host.periods, periods);

        rig.boxes.clear();
        rig.graph->cmdStop_Click();
        QCOMPARE(rig.host.stops, menuEnabled ? 1 : 0);
        QCOMPARE(rig.boxes.texts(),
                 menuEnabled ? QStringList{} : QStringList{"Plase Turn on Device into Output(Run) Mode"});
    }

    // The table recorder's recording clears the graph and captions Start.
    void recordingDrivesTheGraph()
    {
        GraphRig rig(1, 0);
        rig.graph->ShowGraph(GraphRig::row(0, "1", "1"));
        rig.table->RecordPeriod(0, 0, 0, 2, 0, 0);
        rig.graph->cmdStart_Click();
        QVERIFY(rig.table->isRecording());
        QCOMPARE(rig.graph->cmdStart->text(), QString("Record..."));
        QCOMPARE(rig.graph->lIdx, 0);
        QVERIFY(!rig.graph->cmdLoad->isEnabled());
        for (int i = 0; i < 3; ++i) {
            rig.panel.show(0, QString::number(i + 1), "0.5");
            rig.clock.advance(1);
            rig.table->TimerRecordData_Timer();
        }
        QVERIFY(!rig.table->isRecording());
        QCOMPARE(rig.graph->cmdStart->text(), QString("Start"));
        QVERIFY(rig.graph->cmdLoad->isEnabled());
        QCOMPARE(rig.graph->lIdx, 3);
        const auto volts = rig.graph->CWGraph1->values(0);
        QCOMPARE(std::vector<double>(volts.begin(), volts.end()), std::vector<double>({1, 2, 3}));
    }

    void returnShowsThePanel()
    {
        GraphRig rig;
        rig.graph->cmdReturn_Click();
        QCOMPARE(rig.host.returns, 1);
    }

    void changeCursorColor()
    {
        GraphRig rig(3);
        rig.graph->ChangeCursorColor("255", "65280", "16711680");
        const QColor expected[3] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
        for (int plot = 0; plot < 6; ++plot) {
            QCOMPARE(rig.graph->CWGraph1->plotColor(plot), expected[plot / 2]);
            QCOMPARE(markerColor(*rig.graph, plot), expected[plot / 2]);
        }
    }

    // Traces and markers start in the stored colours, or the settings' defaults.
    void startsInTheStoredColours()
    {
        MemorySettings settings;
        settings.preset("RECORDPERIOD/Ch2Color", "128");
        frmGraphicRecord graph;
        QCOMPARE(graph.CWGraph1->plotColor(0), QColor(0, 192, 0));
        QCOMPARE(markerColor(graph, 1), QColor(0, 192, 0));
        QCOMPARE(graph.CWGraph1->plotColor(2), QColor(128, 0, 0));
        QCOMPARE(markerColor(graph, 3), QColor(128, 0, 0));
        QCOMPARE(graph.CWGraph1->plotColor(5), QColor(128, 0, 128));
    }

    void plotBoxesShowAndHide()
    {
        GraphRig rig(2);
        rig.graph->cbPlot[3]->setChecked(false);
        rig.graph->cbPlot_Click(3);
        QVERIFY(!rig.graph->CWGraph1->isPlotVisible(3));
        // New points keep an unchecked plot hidden.
        rig.graph->ShowGraph(GraphRig::row(0, "1", "1"));
        QVERIFY(!rig.graph->CWGraph1->isPlotVisible(3));
        QVERIFY(rig.graph->CWGraph1->isPlotVisible(2));
        rig.graph->cbPlot[3]->setChecked(true);
        rig.graph->cbPlot_Click(3);
        QVERIFY(rig.graph->CWGraph1->isPlotVisible(3));
    }

    // Refresh re-applies the axis choices and hides the cursor read-outs and cursors.
    void refresh()
    {
        GraphRig rig(2);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        rig.graph->FrameCursor->show();
        for (int cursor = 1; cursor <= PlotCursors::Count; ++cursor)
            rig.graph->cursors->setVisible(cursor, true);
        rig.graph->CWGraph1->setTimeRange(0.5, 0.6);
        rig.graph->cmdRefresh_Click();
        QVERIFY(!rig.graph->FrameCursor->isVisible());
        for (int cursor = 1; cursor <= 4; ++cursor)
            QVERIFY(!rig.graph->cursors->isVisible(cursor));
        QVERIFY(rig.graph->cursors->isVisible(5));
        QCOMPARE(rig.graph->CWGraph1->timeMin(), 0.0);
        QCOMPARE(std::lround(rig.graph->CWGraph1->timeMax() * 86400), 300L);
    }

    // The seven cursors and their read-outs exist and start hidden.
    void cursorsStartHidden()
    {
        GraphRig rig(3);
        QVERIFY(!rig.graph->FrameCursor->isVisibleTo(rig.graph.get()));
        for (int cursor = 1; cursor <= PlotCursors::Count; ++cursor)
            QVERIFY(!rig.graph->cursors->isVisible(cursor));
        QCOMPARE(rig.graph->cursors->plotOf(4), 3);
        QCOMPARE(rig.graph->FrameCursor->title(), QString("Cursor Information"));
        for (QLineEdit *box :
             {rig.graph->XPosition, rig.graph->YPosition, rig.graph->PeriodVal, rig.graph->AmplitudeVal})
            QVERIFY(box->text().isEmpty());
    }

    // The graph takes the width left of FrameChannel less 150 twips, and the
    // height above the buttons less 400 twips; the frames follow it.
    void resizeRule()
    {
        GraphRig rig;
        rig.graph->show();
        rig.graph->resize(1000, 700);
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        const frmGraphicRecord &g = *rig.graph;
        const int width = 1000 - (g.FrameChannel->width() + 10);
        const int height = 700 - (g.SSFrame1->height() + 27);
        QCOMPARE(g.CWGraph1->geometry(), QRect(0, 0, width, height));
        QCOMPARE(g.List1->geometry(), g.CWGraph1->geometry());
        QCOMPARE(g.List2->geometry(), g.CWGraph1->geometry());
        QCOMPARE(g.FrameChannel->x(), width);
        QCOMPARE(g.SSFrame1->y(), height);
        QCOMPARE(g.Frame1->y(), height);
        // The cursor read-outs float over the graph's top right corner.
        QVERIFY(g.CWGraph1->geometry().contains(g.FrameCursor->geometry()));
        QVERIFY(g.FrameCursor->geometry().right() > width / 2);
        QVERIFY(g.FrameCursor->y() < height / 2);
    }

    // The first activation prepares the window without dropping points
    // already drawn; every activation refreshes the statistics.
    void firstActivation()
    {
        GraphRig rig(1, 0);
        QVERIFY(!rig.graph->bLoaded);
        rig.graph->ShowGraph(GraphRig::row(0, "1", "1"));
        rig.graph->ShowGraph(GraphRig::row(1, "1", "1"));
        rig.graph->show();
        QVERIFY(rig.graph->bLoaded);
        QCOMPARE(rig.graph->lIdx, 2);
        QCOMPARE(items(rig.graph->lstWave).at(2), QString("Samples: 1"));
    }

    void buttonCaptions()
    {
        GraphRig rig;
        const frmGraphicRecord &g = *rig.graph;
        QCOMPARE(g.windowTitle(), QString("Graphic Record"));
        QStringList captions;
        for (const QPushButton *button : {g.cmdStart, g.cmdStop, g.cmdPeriod, g.cmdRefresh, g.cmdReturn, g.cmdSave,
                                          g.cmdLoad, g.cmdDel, g.cmdExport, g.cmdPrint})
            captions.append(button->text());
        QCOMPARE(captions, QStringList({"Start", "Stop", "Setup", "Refresh", "Return", "Save", "Load", "Delete",
                                        "Export", "Print"}));
        QStringList boxes;
        for (const QCheckBox *box : g.cbPlot)
            boxes.append(box->text());
        QCOMPARE(boxes, QStringList({"Ch1 V", "Ch1 A", "Ch2 V", "Ch2 A", "Ch3 V", "Ch3 A"}));
    }
};

QTEST_MAIN(TestGraphWindow)
#include "tst_graphwindow.moc"
