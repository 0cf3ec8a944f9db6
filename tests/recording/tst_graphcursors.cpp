#include "tst_graphfixture.h"

#include "recording/graph/GraphFormat.h"
#include "recording/graph/GraphView.h"
#include "recording/graph/ModeSlide.h"
#include "recording/graph/PlotCursors.h"
#include "recording/table/RecordTableModel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineSeries>
#include <QListWidget>
#include <QSlider>
#include <QTest>

#include <limits>
#include <QValueAxis>
#include <vector>

#include <cmath>

using namespace qle;
using namespace qle::testing;

namespace {

constexpr double Day = 86400;

QList<int> checkedBoxes(const frmGraphicRecord &g)
{
    QList<int> checked;
    for (int i = 0; i < frmGraphicRecord::Plots; ++i)
        // The boxes of the channels shown.
        if (g.cbPlot[static_cast<std::size_t>(i)]->isEnabled() && g.cbPlot[static_cast<std::size_t>(i)]->isChecked())
            checked.append(i);
    return checked;
}

QList<int> visibleCursors(const frmGraphicRecord &g)
{
    QList<int> visible;
    for (int c = 1; c <= PlotCursors::Count; ++c)
        if (g.cursors->isVisible(c))
            visible.append(c);
    return visible;
}

QList<int> visiblePlots(const frmGraphicRecord &g)
{
    QList<int> visible;
    for (int p = 0; p < frmGraphicRecord::Plots; ++p)
        if (g.CWGraph1->isPlotVisible(p))
            visible.append(p);
    return visible;
}

// Where a cursor's vertical line is, in the graph's viewport.
QPoint cursorPoint(const frmGraphicRecord &g, int cursor)
{
    const GraphView &view = *g.CWGraph1;
    const QPointF scene =
        view.chart()->mapToPosition(g.cursors->position(cursor), view.series(g.cursors->plotOf(cursor)));
    return view.mapFromScene(scene);
}

QPoint pointAt(const frmGraphicRecord &g, int plot, double days, double value)
{
    const GraphView &view = *g.CWGraph1;
    return view.mapFromScene(view.chart()->mapToPosition(QPointF(days, value), view.series(plot)));
}

} // namespace

class TestGraphCursors : public QObject {
    Q_OBJECT

private slots:
    // Zoom draws a rectangle, Pan moves the view, the cursor modes drag
    // cursors; leaving a cursor mode hides its frame and cursors.
    void modesChooseWhatTheMouseDoes()
    {
        GraphRig rig(1);
        frmGraphicRecord &g = *rig.graph;
        QCOMPARE(g.GraphMode->positions(), QStringList({"Zoom", "Pan", "Cursor Coordinates", "Cursor Measurements"}));
        QCOMPARE(g.GraphMode->value(), 0);
        QCOMPARE(g.CWGraph1->tracking(), GraphView::Tracking::Zoom);
        QCOMPARE(g.CWGraph1->rubberBand(), QChartView::RectangleRubberBand);

        g.GraphMode->setValue(1);
        QCOMPARE(g.CWGraph1->tracking(), GraphView::Tracking::Pan);
        QCOMPARE(g.CWGraph1->rubberBand(), QChartView::NoRubberBand);
        QVERIFY(!g.cursors->isDragEnabled());

        g.GraphMode->setValue(2);
        QCOMPARE(g.CWGraph1->tracking(), GraphView::Tracking::Cursors);
        QVERIFY(g.cursors->isDragEnabled());
        QVERIFY(g.FrameCursor->isVisibleTo(&g));
        QCOMPARE(visibleCursors(g), QList<int>{1});

        g.GraphMode->setValue(3);
        QCOMPARE(visibleCursors(g), QList<int>({1, 7}));
        g.GraphMode->setValue(0);
        QVERIFY(!g.FrameCursor->isVisibleTo(&g));
        QVERIFY(visibleCursors(g).isEmpty());
        QVERIFY(!g.cursors->isDragEnabled());
        QCOMPARE(g.CWGraph1->tracking(), GraphView::Tracking::Zoom);

        // A click on a position's name moves the pointer there.
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QTest::mouseClick(g.GraphMode->findChild<QWidget *>("position1"), Qt::LeftButton);
        QCOMPARE(g.GraphMode->value(), 1);
    }

    // The frame shows the coordinates alone, or the measurements too.
    void cursorFrameWidths()
    {
        GraphRig rig(1);
        frmGraphicRecord &g = *rig.graph;
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        g.GraphMode->setValue(2);
        QCOMPARE(g.FrameCursor->width(), 213);
        // The measurements lie beyond the narrow frame's edge.
        QVERIFY(g.PeriodVal->mapTo(g.FrameCursor, QPoint()).x() >= g.FrameCursor->width());
        g.GraphMode->setValue(3);
        QCOMPARE(g.FrameCursor->width(), 381);
        // The measurement boxes lie inside the wide frame only.
        const QRect period(g.PeriodVal->mapTo(g.FrameCursor, QPoint()), g.PeriodVal->size());
        QVERIFY(QRect(QPoint(), g.FrameCursor->size()).contains(period));
        QVERIFY(period.left() >= 213);
        QVERIFY(g.CWGraph1->geometry().contains(g.FrameCursor->geometry()));
    }

    // Entering a cursor mode takes the first checked plot, here "Ch2 A":
    // its plot and cursor alone, at the middle of the current axis.
    void enteringACursorModeTakesTheFirstCheckedPlot()
    {
        GraphRig rig(2);
        frmGraphicRecord &g = *rig.graph;
        for (int i : {0, 1, 2})
            g.cbPlot[static_cast<std::size_t>(i)]->setChecked(false);
        g.CWGraph1->setCurrentRange(3);
        g.CWGraph1->setVoltageRange(30);
        g.CWGraph1->setTimeRange(0, 600 / Day);
        g.GraphMode->setValue(2);
        QCOMPARE(g.lstChannel->currentRow(), 3);
        QCOMPARE(g.lstChannel->currentItem()->text(), QString("CH2 Cur"));
        QCOMPARE(checkedBoxes(g), QList<int>{3});
        QCOMPARE(visiblePlots(g), QList<int>{3});
        QCOMPARE(visibleCursors(g), QList<int>{4});
        QCOMPARE(g.cursors->position(4), QPointF(300 / Day, 1.5));

        // None checked: "CH1 Vol", on the voltage axis.
        GraphRig none(2);
        frmGraphicRecord &n = *none.graph;
        for (QCheckBox *box : n.cbPlot)
            box->setChecked(false);
        n.CWGraph1->setVoltageRange(30);
        n.GraphMode->setValue(3);
        QCOMPARE(n.lstChannel->currentItem()->text(), QString("CH1 Vol"));
        QCOMPARE(checkedBoxes(n), QList<int>{0});
        QCOMPARE(visibleCursors(n), QList<int>({1, 7}));
        QCOMPARE(n.cursors->position(1).y(), 15.0);
        QCOMPARE(n.cursors->plotOf(7), 0);
        QCOMPARE(n.cursors->position(7), n.cursors->position(1));
    }

    // Another channel unchecks every other box; leaving the cursor modes
    // does not check them again. The reference cursor follows the channel.
    void channelListShowsOneTraceAlone()
    {
        GraphRig rig(3);
        frmGraphicRecord &g = *rig.graph;
        g.GraphMode->setValue(3);
        QCOMPARE(g.lstChannel->count(), 6);
        g.lstChannel->setCurrentRow(4);
        QCOMPARE(checkedBoxes(g), QList<int>{4});
        QCOMPARE(visiblePlots(g), QList<int>{4});
        QCOMPARE(visibleCursors(g), QList<int>({5, 7}));
        QCOMPARE(g.cursors->plotOf(7), 4);
        QCOMPARE(g.cursors->position(7), g.cursors->position(5));
        g.GraphMode->setValue(0);
        QCOMPARE(checkedBoxes(g), QList<int>{4});
        QVERIFY(visibleCursors(g).isEmpty());
    }

    // Dragging with the mouse: the cursor steps onto the stored points of
    // its trace; the read-outs show the time as HH:MM:SS and the value; the
    // table highlights the row of that point.
    void draggingACursorReadsTheTrace()
    {
        GraphRig rig(1, 2); // a point every 5 s
        frmGraphicRecord &g = *rig.graph;
        g.resize(900, 600);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        rig.table->RecordPeriod(0, 0, 1, 0, 2, 0);
        g.cmdStart_Click();
        QVERIFY(rig.table->isRecording());
        for (int tick = 0; tick <= 60; ++tick) {
            rig.panel.show(0, QString::number(10 + tick / 5), "0.5");
            rig.clock.advance(1);
            rig.table->TimerRecordData_Timer();
        }
        QCOMPARE(rig.table->iCurrentRow, 12);
        QCOMPARE(g.iXTime, 5);
        g.CWGraph1->setVoltageRange(30);
        g.updateNow();

        g.GraphMode->setValue(2);
        QCOMPARE(g.FrameCursor->width(), 213);
        QVERIFY(g.XPosition->text().isEmpty()); // until a cursor is moved
        QWidget *viewport = g.CWGraph1->viewport();
        const QPoint grab = cursorPoint(g, 1);
        QCOMPARE(g.cursors->cursorAt(grab + QPoint(4, 0)), 1);
        QCOMPARE(g.cursors->cursorAt(grab + QPoint(40, 0)), 0);
        QTest::mousePress(viewport, Qt::LeftButton, {}, grab + QPoint(3, 0));
        // To the 7th point (35 s), a little off its time and far off its value.
        const QPoint target = pointAt(g, 0, 36 / Day, 2);
        QMouseEvent move(QEvent::MouseMove, target, viewport->mapToGlobal(target), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, target);
        QCOMPARE(g.cursors->position(1), QPointF(35 / Day, 17));
        QCOMPARE(g.XPosition->text(), QString("00:00:35"));
        QCOMPARE(g.YPosition->text(), QString("17 V"));
        QVERIFY(g.PeriodVal->text().isEmpty());
        QCOMPARE(rig.table->gridModel().selectedRow(), 7);

        // Beyond the last point the cursor stays on it.
        g.cursors->dragTo(1, pointAt(g, 0, 200 / Day, 10));
        QCOMPARE(g.cursors->position(1), QPointF(55 / Day, 21));
        QCOMPARE(rig.table->gridModel().selectedRow(), 11);

        // A gap has no value to read: the cursor takes the nearest reading.
        const std::span<const double> drawn = g.CWGraph1->values(0);
        std::vector<double> withGap(drawn.begin(), drawn.end());
        withGap[7] = std::numeric_limits<double>::quiet_NaN();
        g.CWGraph1->setPoints(0, std::move(withGap));
        g.cursors->dragTo(1, pointAt(g, 0, 35 / Day, 10));
        QCOMPARE(g.cursors->position(1), QPointF(30 / Day, 16));
        QCOMPARE(g.YPosition->text(), QString("16 V"));

        // Zoom mode again: the same drag draws a zoom rectangle, not a cursor move.
        g.GraphMode->setValue(0);
        QVERIFY(!g.cursors->isVisible(1));
    }

    // The period and amplitude are the distances between the cursors,
    // whichever side the channel cursor is on; over a day only the part
    // below 24 hours shows.
    void measurementsAreDistances()
    {
        GraphRig rig(1);
        frmGraphicRecord &g = *rig.graph;
        g.resize(900, 600);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        std::vector<double> volts;
        for (int i = 0; i <= 300; ++i)
            volts.push_back(i % 2 == 0 ? 12.0 : 12.5);
        g.CWGraph1->setPoints(0, volts);
        g.CWGraph1->setVoltageRange(30);
        g.updateNow();
        g.GraphMode->setValue(3);
        QCOMPARE(g.cursors->position(7), QPointF(150 / Day, 15));

        // The reference on the trace first, at 150 s.
        g.cursors->dragTo(7, pointAt(g, 0, 150 / Day, 12));
        QCOMPARE(g.cursors->position(7), QPointF(150 / Day, 12));
        g.cursors->dragTo(1, pointAt(g, 0, 111 / Day, 12));
        QCOMPARE(g.XPosition->text(), QString("00:01:51"));
        QCOMPARE(g.PeriodVal->text(), QString("00:00:39"));
        QCOMPARE(g.AmplitudeVal->text(), QString("0.5 V"));
        g.cursors->dragTo(1, pointAt(g, 0, 189 / Day, 12));
        QCOMPARE(g.XPosition->text(), QString("00:03:09"));
        QCOMPARE(g.PeriodVal->text(), QString("00:00:39"));
        QCOMPARE(g.AmplitudeVal->text(), QString("0.5 V"));

        g.cursors->setPosition(7, QPointF(0, 1));
        g.cursors->setPosition(1, QPointF(26 * 3600 / Day, 3.5));
        g.CWGraph1_CursorChange(1);
        QCOMPARE(g.PeriodVal->text(), QString("02:00:00"));
        QCOMPARE(g.AmplitudeVal->text(), QString("2.5 V"));
        // No more places than the panel's display pattern ("0.00") and one.
        g.cursors->setPosition(1, QPointF(26 * 3600 / Day, 3.123456));
        g.CWGraph1_CursorChange(1);
        QCOMPARE(g.YPosition->text(), QString("3.123 V"));
        QCOMPARE(g.AmplitudeVal->text(), QString("2.123 V"));

        // In the coordinates mode the measurements stay empty.
        g.GraphMode->setValue(2);
        g.cursors->dragTo(1, pointAt(g, 0, 100 / Day, 12));
        QCOMPARE(g.XPosition->text(), QString("00:01:40"));
        QVERIFY(g.PeriodVal->text().isEmpty());
        QVERIFY(g.AmplitudeVal->text().isEmpty());
    }

    // A rectangle drawn in the Zoom mode becomes the visible range; a right
    // click zooms out again.
    void zoomRectangle()
    {
        GraphRig rig(1);
        frmGraphicRecord &g = *rig.graph;
        g.resize(900, 600);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        g.CWGraph1->setVoltageRange(30);
        QWidget *viewport = g.CWGraph1->viewport();
        const QPoint from = pointAt(g, 0, 100 / Day, 20);
        const QPoint to = pointAt(g, 0, 200 / Day, 10);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        QVERIFY2(std::abs(g.CWGraph1->timeMin() * Day - 100) < 2,
                 qPrintable(QString::number(g.CWGraph1->timeMin() * Day)));
        QVERIFY(std::abs(g.CWGraph1->timeMax() * Day - 200) < 2);
        QVERIFY(std::abs(g.CWGraph1->voltageAxis()->min() - 10) < 0.5);
        QVERIFY(std::abs(g.CWGraph1->voltageAxis()->max() - 20) < 0.5);
        // The time labels follow the new range; the voltage labels are
        // rounded to their tick step (about 2.5 V: two places at most).
        QCOMPARE(g.CWGraph1->timeLabels().first(), QString("0:1:40"));
        const QValueAxis *volts = g.CWGraph1->voltageAxis();
        QCOMPARE(volts->labelFormat(),
                 "%." + QString::number(graph::tickDecimals((volts->max() - volts->min()) / (volts->tickCount() - 1))) +
                     "f");
        QVERIFY(volts->labelFormat() == "%.1f" || volts->labelFormat() == "%.2f");
        QTest::mouseClick(viewport, Qt::RightButton, {}, to);
        QVERIFY(g.CWGraph1->timeMax() - g.CWGraph1->timeMin() > 150 / Day);
    }

    // Dragging in the Pan mode moves the visible times.
    void panMovesTheView()
    {
        GraphRig rig(1);
        frmGraphicRecord &g = *rig.graph;
        g.resize(900, 600);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        g.CWGraph1->setTimeRange(100 / Day, 400 / Day);
        g.GraphMode->setValue(1);
        QWidget *viewport = g.CWGraph1->viewport();
        const QPoint from = pointAt(g, 0, 250 / Day, 0.5);
        const QPoint to = pointAt(g, 0, 200 / Day, 0.5);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        // Dragged 50 s to the left: 50 s later times show.
        QVERIFY2(std::abs(g.CWGraph1->timeMin() * Day - 150) < 2,
                 qPrintable(QString::number(g.CWGraph1->timeMin() * Day)));
        QVERIFY(std::abs(g.CWGraph1->timeMax() * Day - 450) < 2);
    }
};

QTEST_MAIN(TestGraphCursors)
#include "tst_graphcursors.moc"
