#pragma once

#include <QFrame>

namespace qle {

// The sample of a trace beside its check box: a short line in the trace's
// colour (the palette's window colour) and line style.
class TraceMarker final : public QFrame {
    Q_OBJECT
public:
    TraceMarker(Qt::PenStyle style, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::PenStyle m_style;
};

} // namespace qle
