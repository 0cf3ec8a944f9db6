#include "GraphView.h"

#include "GraphFormat.h"
#include "PlotReducer.h"

#include <QCategoryAxis>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QScopedValueRollback>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace qle {
namespace {

const QColor FrameColor(96, 96, 96);
constexpr int FrameWidth = 3;
const QColor PrintInk(0, 0, 0);
const QColor PrintPaper(255, 255, 255);
const QColor PrintGrid(128, 128, 128);

// One pixel wide on screen; scaled with the picture on paper, where a
// cosmetic pen would be a hairline of one printer dot.
QPen tracePen(int plot, const QColor &color)
{
    QPen pen(color, 1);
    pen.setStyle(GraphView::lineStyle(plot));
    return pen;
}

} // namespace

GraphView::GraphView(QWidget *parent)
    : QChartView(parent), m_chart(new QChart), m_time(new QCategoryAxis(m_chart)), m_voltage(new QValueAxis(m_chart)),
      m_current(new QValueAxis(m_chart))
{
    setObjectName("CWGraph1");
    setFrameShape(QFrame::NoFrame);
    setRenderHint(QPainter::Antialiasing, false);
    m_chart->legend()->hide();
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundRoundness(0);
    m_chart->setPlotAreaBackgroundVisible(true);
    m_chart->setMargins(QMargins(4, 4, 4, 4));

    m_time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_voltage->setTitleText(QStringLiteral("Voltage"));
    m_voltage->setLabelFormat(QStringLiteral("%g"));
    connect(m_voltage, &QValueAxis::rangeChanged, this, [this] { roundLabels(m_voltage); });
    m_current->setTitleText(QStringLiteral("Current"));
    m_current->setLabelFormat(QStringLiteral("%g"));
    connect(m_current, &QValueAxis::rangeChanged, this, [this] { roundLabels(m_current); });
    m_current->setGridLineVisible(false);
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_voltage, Qt::AlignLeft);
    m_chart->addAxis(m_current, Qt::AlignRight);
    m_voltage->setRange(0, 1);
    m_current->setRange(0, 1);

    for (int plot = 0; plot < Plots; ++plot) {
        auto *series = new QLineSeries(m_chart);
        series->setObjectName(QStringLiteral("Plot%1").arg(plot + 1));
        m_chart->addSeries(series);
        series->attachAxis(m_time);
        series->attachAxis(axisOf(plot));
        m_series[static_cast<std::size_t>(plot)] = series;
    }
    for (int plot = 0; plot < Plots; ++plot) {
        auto *marks = new QScatterSeries(m_chart);
        marks->setObjectName(QStringLiteral("Plot%1Points").arg(plot + 1));
        marks->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        marks->setMarkerSize(PointMarkSize);
        m_chart->addSeries(marks);
        marks->attachAxis(m_time);
        marks->attachAxis(axisOf(plot));
        m_marks[static_cast<std::size_t>(plot)] = marks;
    }
    setChart(m_chart);

    Look initial;
    initial.plots.fill(QColor(0, 192, 0));
    initial.background = QColor(236, 236, 236);
    initial.plotArea = QColor(255, 255, 224);
    initial.timeGrid = QColor(200, 200, 200);
    initial.voltageGrid = QColor(200, 200, 200);
    setLook(initial);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(RedrawDelayMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, &GraphView::redraw);
    connect(m_chart, &QChart::plotAreaChanged, this, &GraphView::scheduleRedraw);
    // Any change of the visible time, also by zooming or panning, relabels it.
    connect(m_time, &QValueAxis::rangeChanged, this, [this] {
        if (!m_relabelling)
            rebuildTimeLabels();
        scheduleRedraw();
    });
    setTimeAxis(QStringLiteral("Elapsed Time [Sec]"), QStringLiteral("h:n:ss"), 5);
    setTimeRange(0, 300.0 / 86400);
    setTracking(Tracking::Zoom);
}

void GraphView::setTracking(Tracking tracking)
{
    m_tracking = tracking;
    m_panFrom.reset();
    setRubberBand(tracking == Tracking::Zoom ? QChartView::RectangleRubberBand : QChartView::NoRubberBand);
    viewport()->setCursor(tracking == Tracking::Pan ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

void GraphView::mousePressEvent(QMouseEvent *event)
{
    if (m_tracking == Tracking::Pan && event->button() == Qt::LeftButton) {
        m_panFrom = event->position().toPoint();
        viewport()->setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void GraphView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_tracking == Tracking::Pan && m_panFrom) {
        const QPoint at = event->position().toPoint();
        const QPoint moved = at - *m_panFrom;
        // The content follows the hand: dragging right shows earlier times.
        m_chart->scroll(-moved.x(), moved.y());
        m_panFrom = at;
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void GraphView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_tracking == Tracking::Pan && m_panFrom && event->button() == Qt::LeftButton) {
        m_panFrom.reset();
        viewport()->setCursor(Qt::OpenHandCursor);
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

GraphView::~GraphView() = default;

void GraphView::clearPoints()
{
    for (std::vector<double> &values : m_values)
        values.clear();
    for (QLineSeries *series : m_series)
        series->clear();
    for (const std::vector<QLineSeries *> &pieces : m_pieces)
        for (QLineSeries *piece : pieces)
            piece->clear();
    for (QScatterSeries *marks : m_marks)
        marks->clear();
    m_redrawTimer.stop();
}

void GraphView::appendPoint(int plot, double value)
{
    m_values.at(static_cast<std::size_t>(plot)).push_back(value);
    if (isPlotVisible(plot))
        scheduleRedraw();
}

void GraphView::reservePoints(int plots, qsizetype count)
{
    for (int plot = 0; plot < std::min(plots, Plots); ++plot)
        m_values.at(static_cast<std::size_t>(plot)).reserve(static_cast<std::size_t>(std::max<qsizetype>(count, 0)));
}

void GraphView::setPoints(int plot, std::vector<double> values)
{
    m_values.at(static_cast<std::size_t>(plot)) = std::move(values);
    scheduleRedraw();
}

qsizetype GraphView::pointCount(int plot) const
{
    return static_cast<qsizetype>(m_values.at(static_cast<std::size_t>(plot)).size());
}

std::span<const double> GraphView::values(int plot) const
{
    return m_values.at(static_cast<std::size_t>(plot));
}

void GraphView::setTimeStep(double days)
{
    if (days > 0 && days != m_step) {
        m_step = days;
        scheduleRedraw();
    }
}

QLineSeries *GraphView::series(int plot) const
{
    return m_series.at(static_cast<std::size_t>(plot));
}

QScatterSeries *GraphView::pointMarks(int plot) const
{
    return m_marks.at(static_cast<std::size_t>(plot));
}

QValueAxis *GraphView::axisOf(int plot) const
{
    return plot % 2 == 0 ? m_voltage : m_current;
}

void GraphView::setPlotVisible(int plot, bool visible)
{
    if (series(plot)->isVisible() == visible)
        return;
    series(plot)->setVisible(visible);
    for (QLineSeries *piece : m_pieces.at(static_cast<std::size_t>(plot)))
        piece->setVisible(visible);
    pointMarks(plot)->setVisible(visible);
    scheduleRedraw();
}

bool GraphView::isPlotVisible(int plot) const
{
    return series(plot)->isVisible();
}

Qt::PenStyle GraphView::lineStyle(int plot)
{
    static constexpr Qt::PenStyle CurrentStyles[] = {Qt::DashLine, Qt::DashDotLine, Qt::DashDotDotLine};
    return plot % 2 == 0 ? Qt::SolidLine : CurrentStyles[std::clamp(plot / 2, 0, 2)];
}

void GraphView::setPlotColor(int plot, const QColor &color)
{
    series(plot)->setPen(tracePen(plot, color));
    for (QLineSeries *piece : m_pieces.at(static_cast<std::size_t>(plot)))
        piece->setPen(series(plot)->pen());
    QScatterSeries *marks = pointMarks(plot);
    marks->setPen(QPen(color, 1));
    marks->setBrush(color);
}

QColor GraphView::plotColor(int plot) const
{
    return series(plot)->pen().color();
}

void GraphView::setTimeAxis(const QString &caption, const QString &labelFormat, int divisions)
{
    m_time->setTitleText(caption);
    m_labelFormat = labelFormat;
    m_divisions = std::max(1, divisions);
    rebuildTimeLabels();
}

void GraphView::setTimeRange(double minDays, double maxDays)
{
    if (!(maxDays > minDays))
        return;
    m_time->setRange(minDays, maxDays);
}

QString GraphView::timeCaption() const
{
    return m_time->titleText();
}

double GraphView::timeMin() const
{
    return m_time->min();
}

double GraphView::timeMax() const
{
    return m_time->max();
}

QStringList GraphView::timeLabels() const
{
    return m_time->categoriesLabels();
}

// One label on each division line, the first at the range start. Category
// labels must differ, so a label that repeats (a range too short for its
// pattern) gets invisible padding.
void GraphView::rebuildTimeLabels()
{
    const double min = m_time->min();
    const double max = m_time->max();
    const QScopedValueRollback<bool> relabelling(m_relabelling, true);
    for (const QString &label : m_time->categoriesLabels())
        m_time->remove(label);
    m_time->setStartValue(min);
    QStringList used;
    for (int k = 0; k <= m_divisions; ++k) {
        const double value = min + (max - min) * k / m_divisions;
        QString label = graph::formatElapsed(value, m_labelFormat);
        while (used.contains(label))
            label += QChar(0x200B);
        used.append(label);
        m_time->append(label, value);
    }
    m_time->setRange(min, max);
}

void GraphView::roundLabels(QValueAxis *axis)
{
    const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(graph::tickDecimals(step)) + QLatin1Char('f'));
}

void GraphView::setVoltageRange(double maximum)
{
    m_voltage->setRange(0, maximum > 0 ? maximum : 1);
    scheduleRedraw();
}

void GraphView::setCurrentRange(double maximum)
{
    m_current->setRange(0, maximum > 0 ? maximum : 1);
    scheduleRedraw();
}

GraphView::Look GraphView::look() const
{
    Look look;
    for (int plot = 0; plot < Plots; ++plot)
        look.plots[static_cast<std::size_t>(plot)] = plotColor(plot);
    look.background = m_chart->backgroundBrush().color();
    look.plotArea = m_chart->plotAreaBackgroundBrush().color();
    look.timeGrid = m_time->gridLineColor();
    look.voltageGrid = m_voltage->gridLineColor();
    look.frameVisible = m_frameVisible;
    return look;
}

void GraphView::setLook(const Look &look)
{
    for (int plot = 0; plot < Plots; ++plot)
        setPlotColor(plot, look.plots[static_cast<std::size_t>(plot)]);
    m_chart->setBackgroundBrush(look.background);
    setBackgroundBrush(look.background);
    m_chart->setPlotAreaBackgroundBrush(look.plotArea);
    m_time->setGridLineColor(look.timeGrid);
    m_voltage->setGridLineColor(look.voltageGrid);
    m_frameVisible = look.frameVisible;
    m_chart->setBackgroundPen(look.frameVisible ? QPen(FrameColor, FrameWidth) : QPen(Qt::NoPen));
}

GraphView::Look GraphView::printLook(const Look &screen)
{
    Look look = screen;
    look.plots.fill(PrintInk);
    look.background = PrintPaper;
    look.plotArea = PrintPaper;
    look.timeGrid = PrintGrid;
    look.voltageGrid = PrintGrid;
    look.frameVisible = false;
    return look;
}

void GraphView::scheduleRedraw()
{
    if (!m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void GraphView::redrawNow()
{
    if (m_redrawTimer.isActive()) {
        m_redrawTimer.stop();
        redraw();
    }
}

int GraphView::plotColumns() const
{
    const int plotWidth = static_cast<int>(std::lround(m_chart->plotArea().width()));
    // Before the first layout the plot area is empty: take the view's width.
    return std::max(plotWidth > 1 ? plotWidth : width(), 1);
}

void GraphView::redraw()
{
    const PlotReducer::Range range{timeMin(), timeMax()};
    const int columns = plotColumns();
    for (int plot = 0; plot < Plots; ++plot)
        showPieces(plot, series(plot)->isVisible() ? PlotReducer::reduce(values(plot), 0, m_step, range, columns)
                                                   : QList<QPointF>());
    ++m_redraws;
    emit redrawn();
}

void GraphView::showPieces(int plot, const QList<QPointF> &points)
{
    std::vector<QLineSeries *> &pieces = m_pieces.at(static_cast<std::size_t>(plot));
    // A piece of one point draws no line: its reading gets a mark. The
    // reduction hands over the nearest points outside the range too; those
    // stay unmarked.
    QList<QPointF> alone;
    std::size_t used = 0;
    qsizetype begin = 0;
    while (begin <= points.size()) {
        qsizetype end = begin;
        while (end < points.size() && !std::isnan(points.at(end).y()))
            ++end;
        QLineSeries *line = used == 0 ? series(plot) : piece(plot, used - 1);
        if (end > begin || line->count() > 0)
            line->replace(begin == 0 && end == points.size() ? points : points.mid(begin, end - begin));
        if (end - begin == 1 && points.at(begin).x() >= timeMin() && points.at(begin).x() <= timeMax())
            alone.append(points.at(begin));
        ++used;
        begin = end + 1;
    }
    for (std::size_t i = used == 0 ? 0 : used - 1; i < pieces.size(); ++i)
        if (pieces[i]->count() > 0)
            pieces[i]->clear();
    QScatterSeries *marks = pointMarks(plot);
    if (!alone.isEmpty() || marks->count() > 0)
        marks->replace(alone);
}

QLineSeries *GraphView::piece(int plot, std::size_t index)
{
    std::vector<QLineSeries *> &pieces = m_pieces.at(static_cast<std::size_t>(plot));
    while (pieces.size() <= index) {
        auto *line = new QLineSeries(m_chart);
        line->setPen(series(plot)->pen());
        line->setVisible(series(plot)->isVisible());
        m_chart->addSeries(line);
        line->attachAxis(m_time);
        line->attachAxis(axisOf(plot));
        pieces.push_back(line);
    }
    return pieces[index];
}

void GraphView::renderLaidOut(QPainter &painter, const QRectF &target, double scale)
{
    if (!(scale > 0) || target.isEmpty())
        return;
    const QSizeF shown = m_chart->size();
    const QRectF laidOut(m_chart->pos(), target.size() / scale);
    const auto layOut = [this](const QSizeF &size) {
        m_chart->resize(size);
        if (QGraphicsLayout *layout = m_chart->layout())
            layout->activate();
        // The traces reduced for the plot area of that size.
        m_redrawTimer.stop();
        redraw();
    };
    layOut(laidOut.size());
    painter.save();
    painter.fillRect(target, m_chart->backgroundBrush());
    scene()->render(&painter, target, laidOut, Qt::KeepAspectRatio);
    painter.restore();
    layOut(shown);
}

void GraphView::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    scheduleRedraw();
}

} // namespace qle
