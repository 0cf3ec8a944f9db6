#pragma once

#include <QChartView>
#include <QColor>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>
#include <span>
#include <vector>

class QCategoryAxis;
class QLineSeries;
class QPainter;
class QScatterSeries;
class QValueAxis;

namespace qle {

// The graph of the graph recorder: six traces (index 0..5: channel 1 voltage,
// channel 1 current, channel 2 voltage, ...) over elapsed time in days, the
// voltages on the left axis, the currents on the right one.
//
// The traces' values are kept here, one array per trace, point i at
// i * timeStep(). The chart is handed only a per-pixel-column reduction of
// the visible range, rebuilt on a coalescing timer after points arrive, the
// axes change or the view is resized, so that adding a point costs the same
// at any length and a redraw depends on the width, not on the length.
// A reading with gaps on both sides, which no line can show, is drawn as a
// small round mark in its trace's colour.
class GraphView final : public QChartView {
    Q_OBJECT
public:
    static constexpr int Plots = 6;
    static constexpr int RedrawDelayMs = 100;
    // Diameter of the mark of a reading standing alone, in pixels.
    static constexpr double PointMarkSize = 5;

    // The colours the graph is drawn in and whether its frame shows.
    struct Look {
        std::array<QColor, Plots> plots;
        QColor background; // around the plot area
        QColor plotArea;
        QColor timeGrid;    // grid of the time axis
        QColor voltageGrid; // grid of the voltage axis
        bool frameVisible = true;
    };

    // What dragging the mouse over the graph does: zoom into the rectangle
    // drawn (a right click zooms out again), move the visible ranges, or
    // nothing here (the cursors take the drag).
    enum class Tracking { Zoom, Pan, Cursors };

    explicit GraphView(QWidget *parent = nullptr);
    ~GraphView() override;

    void setTracking(Tracking tracking);
    [[nodiscard]] Tracking tracking() const { return m_tracking; }

    // Points. Appending puts the point one time step after the trace's last.
    void clearPoints();
    void appendPoint(int plot, double value);
    // Room for `count` points in each of the first `plots` traces, so that a
    // long recording's traces are not copied as they grow.
    void reservePoints(int plots, qsizetype count);
    void setPoints(int plot, std::vector<double> values);
    [[nodiscard]] qsizetype pointCount(int plot) const;
    [[nodiscard]] std::span<const double> values(int plot) const;
    void setTimeStep(double days);
    [[nodiscard]] double timeStep() const { return m_step; }

    void setPlotVisible(int plot, bool visible);
    [[nodiscard]] bool isPlotVisible(int plot) const;
    void setPlotColor(int plot, const QColor &color);
    [[nodiscard]] QColor plotColor(int plot) const;
    // How a trace is drawn: voltages solid, each channel's current in a dash
    // pattern of its own, so that traces tell apart in black print too.
    [[nodiscard]] static Qt::PenStyle lineStyle(int plot);
    [[nodiscard]] QLineSeries *series(int plot) const;
    // The marks of the trace's readings that stand alone between gaps.
    [[nodiscard]] QScatterSeries *pointMarks(int plot) const;
    // The Y axis of a trace: voltage for even indices, current for odd ones.
    [[nodiscard]] QValueAxis *axisOf(int plot) const;

    // The time axis: caption, label pattern (see graph::formatElapsed), number
    // of major divisions, and the visible range.
    void setTimeAxis(const QString &caption, const QString &labelFormat, int divisions);
    void setTimeRange(double minDays, double maxDays);
    [[nodiscard]] QString timeCaption() const;
    [[nodiscard]] QString timeLabelFormat() const { return m_labelFormat; }
    [[nodiscard]] int timeDivisions() const { return m_divisions; }
    [[nodiscard]] double timeMin() const;
    [[nodiscard]] double timeMax() const;
    [[nodiscard]] QStringList timeLabels() const;
    void setVoltageRange(double maximum);
    void setCurrentRange(double maximum);
    [[nodiscard]] QCategoryAxis *timeAxis() const { return m_time; }
    [[nodiscard]] QValueAxis *voltageAxis() const { return m_voltage; }
    [[nodiscard]] QValueAxis *currentAxis() const { return m_current; }

    [[nodiscard]] Look look() const;
    void setLook(const Look &look);
    // The look on paper: black traces, white backgrounds, grey grids, no frame.
    [[nodiscard]] static Look printLook(const Look &screen);

    // Redrawing. A request starts the timer unless it is already pending;
    // redrawNow() runs a pending redraw at once (before printing, in tests).
    void scheduleRedraw();
    void redrawNow();
    [[nodiscard]] bool isRedrawPending() const { return m_redrawTimer.isActive(); }
    [[nodiscard]] int redrawCount() const { return m_redraws; }
    // Pixel columns of the plot area the reduction spreads the points over.
    [[nodiscard]] int plotColumns() const;

    // Draws the graph into `target` laid out afresh at target's size divided
    // by `scale`, and scaled by `scale` alike in both directions: axis text
    // and lines keep their proportions whatever the target's shape. The
    // graph on screen is laid out as before when this returns.
    void renderLaidOut(QPainter &painter, const QRectF &target, double scale);

signals:
    void redrawn();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void redraw();
    // Hands the reduced points of a trace to its line, one line per piece.
    void showPieces(int plot, const QList<QPointF> &points);
    [[nodiscard]] QLineSeries *piece(int plot, std::size_t index);
    void rebuildTimeLabels();
    // Labels of a value axis rounded to the places its tick step needs.
    static void roundLabels(QValueAxis *axis);

    QChart *m_chart;
    QCategoryAxis *m_time;
    QValueAxis *m_voltage;
    QValueAxis *m_current;
    std::array<QLineSeries *, Plots> m_series{};
    // The pieces of a trace after its first gap, each a line of its own in
    // the trace's pen; created as gaps need them and kept for later redraws.
    std::array<std::vector<QLineSeries *>, Plots> m_pieces;
    std::array<QScatterSeries *, Plots> m_marks{};
    std::array<std::vector<double>, Plots> m_values;
    double m_step = 1.0 / 86400;
    QString m_labelFormat;
    int m_divisions = 5;
    bool m_frameVisible = true;
    bool m_relabelling = false;
    QTimer m_redrawTimer;
    int m_redraws = 0;
    Tracking m_tracking = Tracking::Zoom;
    std::optional<QPoint> m_panFrom;
};

} // namespace qle
