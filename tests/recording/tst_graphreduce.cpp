// The per-pixel-column reduction the graph hands to the chart.
#include "recording/graph/PlotReducer.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace qle;

namespace {

QList<QPointF> pointsOf(const std::vector<double> &values, double dx, qsizetype first, qsizetype last)
{
    QList<QPointF> points;
    for (qsizetype i = first; i <= last; ++i)
        points.append(QPointF(static_cast<double>(i) * dx, values[static_cast<std::size_t>(i)]));
    return points;
}

} // namespace

class TestGraphReduce : public QObject {
    Q_OBJECT

private slots:
    // Fewer points than columns come back exactly, x from the step.
    void fewPointsAreExact()
    {
        const std::vector<double> values{1, 5, 2, 8, 3, 3, 0, 7, 4, 6};
        const double dx = 5.0 / 86400;
        const QList<QPointF> points = PlotReducer::reduce(values, 0, dx, {0, 300.0 / 86400}, 800);
        QCOMPARE(points, pointsOf(values, dx, 0, 9));
    }

    // Each column keeps its first, smallest, largest and last point, in index order.
    void eachColumnKeepsFirstMinMaxLast()
    {
        // 10 columns of 100 points; column c has its peak at 10 + c and its dip at 90 - c,
        // so the peak comes first in every column.
        std::vector<double> values(1000, 50.0);
        for (int c = 0; c < 10; ++c) {
            values[static_cast<std::size_t>(c * 100)] = 40.0 + c;           // first
            values[static_cast<std::size_t>(c * 100 + 10 + c)] = 100.0 + c; // largest
            values[static_cast<std::size_t>(c * 100 + 90 - c)] = -c;        // smallest
            values[static_cast<std::size_t>(c * 100 + 99)] = 60.0 + c;      // last
        }
        const QList<QPointF> points = PlotReducer::reduce(values, 0, 1, {0, 1000}, 10);
        QCOMPARE(points.size(), 40);
        for (int c = 0; c < 10; ++c) {
            const QList<QPointF> column = points.mid(c * 4, 4);
            QCOMPARE(column.at(0), QPointF(c * 100, 40.0 + c));
            QCOMPARE(column.at(1), QPointF(c * 100 + 10 + c, 100.0 + c));
            QCOMPARE(column.at(2), QPointF(c * 100 + 90 - c, -c));
            QCOMPARE(column.at(3), QPointF(c * 100 + 99, 60.0 + c));
        }
    }

    // A column whose extremes are its first and last point gives just those two.
    void monotoneColumnGivesItsEnds()
    {
        std::vector<double> values(100);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<double>(i);
        const QList<QPointF> points = PlotReducer::reduce(values, 0, 1, {0, 100}, 1);
        QCOMPARE(points, QList<QPointF>({QPointF(0, 0), QPointF(99, 99)}));
    }

    // Only the visible range is reduced, with one neighbour on each side.
    void visibleRangeOnly()
    {
        std::vector<double> values(1000);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<double>(i % 17);
        const QList<QPointF> points = PlotReducer::reduce(values, 0, 1, {100, 200}, 1000);
        QCOMPARE(points, pointsOf(values, 1, 99, 201));
    }

    // A value that is not a number is a gap: one separator (y NaN) between
    // two pieces, none at an end, and no neighbour taken from a gap.
    void gapsBreakTheLine_data()
    {
        constexpr double Gap = std::numeric_limits<double>::quiet_NaN();
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gap inside") << std::vector<double>{1, 2, Gap, 4, 5} << 5.0 << 800 << "0:1 1:2 | 3:4 4:5";
        QTest::newRow("long gap") << std::vector<double>{1, Gap, Gap, Gap, 5} << 5.0 << 800 << "0:1 | 4:5";
        QTest::newRow("gaps at the ends") << std::vector<double>{Gap, 2, 3, Gap} << 4.0 << 800 << "1:2 2:3";
        QTest::newRow("nothing but gaps") << std::vector<double>{Gap, Gap} << 2.0 << 800 << "";
        std::vector<double> ramp(100);
        for (std::size_t i = 0; i < ramp.size(); ++i)
            ramp[i] = static_cast<double>(i);
        ramp[50] = Gap;
        QTest::newRow("gap inside a column") << ramp << 100.0 << 1 << "0:0 49:49 | 51:51 99:99";
    }
    void gapsBreakTheLine()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(double, xMax);
        QFETCH(int, columns);
        QFETCH(QString, expected);
        QStringList drawn;
        for (const QPointF &p : PlotReducer::reduce(values, 0, 1, {0, xMax}, columns))
            drawn.append(std::isnan(p.y()) ? QStringLiteral("|") : QStringLiteral("%1:%2").arg(p.x()).arg(p.y()));
        QCOMPARE(drawn.join(u' '), expected);
        // Neighbours outside the visible range are left out when they are gaps.
        const std::vector<double> edges{1, std::numeric_limits<double>::quiet_NaN(), 3, 4,
                                        std::numeric_limits<double>::quiet_NaN()};
        QCOMPARE(PlotReducer::reduce(edges, 0, 1, {2, 3}, 800), QList<QPointF>({QPointF(2, 3), QPointF(3, 4)}));
    }

    void degenerateInput_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("xMin");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("expected");
        QTest::newRow("no points") << 0 << 0.0 << 10.0 << 100 << 0;
        QTest::newRow("no columns") << 10 << 0.0 << 10.0 << 0 << 0;
        QTest::newRow("empty range") << 10 << 5.0 << 5.0 << 100 << 0;
        QTest::newRow("range after the data") << 10 << 20.0 << 30.0 << 100 << 0;
        QTest::newRow("range before the data") << 10 << -30.0 << -20.0 << 100 << 0;
        // Between points 3 and 4: the segment crossing the range stays.
        QTest::newRow("range between two points") << 10 << 3.2 << 3.8 << 100 << 2;
    }
    void degenerateInput()
    {
        QFETCH(int, count);
        QFETCH(double, xMin);
        QFETCH(double, xMax);
        QFETCH(int, columns);
        QFETCH(int, expected);
        const std::vector<double> values(static_cast<std::size_t>(count), 1.0);
        QCOMPARE(PlotReducer::reduce(values, 0, 1, {xMin, xMax}, columns).size(), expected);
    }

    // A long trace becomes at most four points a column and keeps its extremes.
    void longTraceIsBoundedAndKeepsExtremes()
    {
        QRandomGenerator random(42);
        std::vector<double> values(33000);
        for (double &value : values)
            value = random.bounded(100.0);
        values[12345] = 250.0;
        values[23456] = -50.0;
        const double dx = 1.0 / 86400;
        const QList<QPointF> points = PlotReducer::reduce(values, 0, dx, {0, 33000 * dx}, 800);
        QVERIFY(points.size() <= 4 * 800 + 2);
        QVERIFY(points.size() >= 2 * 800);
        const auto [low, high] =
            std::minmax_element(points.cbegin(), points.cend(), [](QPointF a, QPointF b) { return a.y() < b.y(); });
        QCOMPARE(high->y(), 250.0);
        QCOMPARE(low->y(), -50.0);
        QVERIFY(std::is_sorted(points.cbegin(), points.cend(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
        QCOMPARE(points.first(), QPointF(0, values[0]));
        QCOMPARE(points.last().y(), values.back());
    }
};

QTEST_GUILESS_MAIN(TestGraphReduce)
#include "tst_graphreduce.moc"
