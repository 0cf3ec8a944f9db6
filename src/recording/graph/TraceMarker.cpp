#include "TraceMarker.h"

#include <QPainter>

namespace qle {

TraceMarker::TraceMarker(Qt::PenStyle style, QWidget *parent) : QFrame(parent), m_style(style)
{
}

void TraceMarker::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Window), 2, m_style, Qt::FlatCap));
    const int y = height() / 2;
    painter.drawLine(0, y, width(), y);
}

} // namespace qle
