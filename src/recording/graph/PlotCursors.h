#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QPointF>
#include <QWidget>

#include <array>

class QGraphicsLineItem;

namespace qle {

class GraphView;

// The graph's seven cursors: cursor i (1..6) belongs to trace i - 1 (channel 1
// voltage, channel 1 current, ...), cursor 7 is the reference cursor of the
// measurements, attached to whichever trace it is given. A cursor is a cross
// of a vertical and a horizontal line at a position in the units of its
// trace's axes (days, volts or amperes); all start hidden.
class PlotCursors final : public QObject {
    Q_OBJECT
public:
    static constexpr int Count = 7;
    static constexpr int Reference = 7;

    explicit PlotCursors(GraphView &view);
    ~PlotCursors() override;

    void setVisible(int cursor, bool visible);
    [[nodiscard]] bool isVisible(int cursor) const;
    // Hides cursors 1..last.
    void hideFirst(int last);
    void setPosition(int cursor, QPointF value);
    [[nodiscard]] QPointF position(int cursor) const;
    void attach(int cursor, int plot);
    [[nodiscard]] int plotOf(int cursor) const;
    void setColor(int cursor, const QColor &color);
    [[nodiscard]] QColor color(int cursor) const;

    // While enabled, a visible cursor is taken by pressing the mouse on (or
    // within a few pixels of) its vertical line and follows the mouse,
    // stepping from stored point to stored point of its trace and reading
    // the trace's value there; cursorMoved reports each step.
    void setDragEnabled(bool enabled);
    [[nodiscard]] bool isDragEnabled() const { return m_dragEnabled; }
    // The visible cursor whose vertical line is nearest to a point of the
    // view (viewport pixels) within the grab distance; 0 for none.
    [[nodiscard]] int cursorAt(QPointF viewPoint) const;
    // Moves a cursor as a drag to that point of the view does.
    void dragTo(int cursor, QPointF viewPoint);

signals:
    void cursorMoved(int cursor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Cursor {
        QGraphicsLineItem *vertical = nullptr;
        QGraphicsLineItem *horizontal = nullptr;
        QPointF value;
        int plot = 0;
        bool visible = false;
    };

    [[nodiscard]] Cursor &at(int cursor);
    [[nodiscard]] const Cursor &at(int cursor) const;
    void place(Cursor &cursor);
    void placeAll();

    GraphView &m_view;
    std::array<Cursor, Count> m_cursors;
    bool m_dragEnabled = false;
    int m_dragged = 0;
    // Kept apart from the view: the filter still sees events while the view
    // is being destroyed, when it no longer is a scroll area.
    QPointer<QWidget> m_viewport;
};

} // namespace qle
