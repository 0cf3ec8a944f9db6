#pragma once

#include <QColor>
#include <QObject>
#include <QPointF>

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
};

} // namespace qle
