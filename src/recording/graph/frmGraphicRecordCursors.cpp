// The graph recorder's mouse modes and cursors.
#include "frmGraphicRecord.h"

#include "GraphFormat.h"
#include "GraphView.h"
#include "ModeSlide.h"
#include "PlotCursors.h"
#include "recording/table/frmDataTable.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QValueAxis>

#include <cmath>

namespace qle {

namespace {

constexpr double SecondsPerDay = 86400;

} // namespace

void frmGraphicRecord::GraphMode_PointerValueChanged(int value)
{
    FrameCursor->raise();
    FrameCursor->hide();
    cursors->setVisible(PlotCursors::Reference, false);
    cursors->hideFirst(channelCursors());
    cursors->setDragEnabled(false);
    if (value == 0) {
        CWGraph1->setTracking(GraphView::Tracking::Zoom);
        return;
    }
    if (value == 1) {
        CWGraph1->setTracking(GraphView::Tracking::Pan);
        return;
    }
    if (value != 2 && value != 3)
        return;

    int position = 0;
    for (int p = 0; p < channelCursors(); ++p) {
        if (cbPlot[static_cast<std::size_t>(p)]->isChecked()) {
            position = p;
            break;
        }
    }
    {
        const QSignalBlocker blocker(lstChannel);
        lstChannel->setCurrentRow(position);
    }
    lstChannel_Click(position);

    FrameCursor->show();
    CWGraph1->setTracking(GraphView::Tracking::Cursors);
    cursors->setDragEnabled(true);
    const int cursor = position + 1;
    cursors->setVisible(cursor, true);
    placeAtMiddle(cursor);
    FrameCursor->resize(CursorFrameNarrow, FrameCursor->height());
    if (value == 3) {
        cursors->setVisible(PlotCursors::Reference, true);
        cursors->attach(PlotCursors::Reference, cursor - 1);
        cursors->setPosition(PlotCursors::Reference, cursors->position(cursor));
        FrameCursor->resize(CursorFrameWide, FrameCursor->height());
    }
    placeCursorFrame();
}

void frmGraphicRecord::lstChannel_Click(int position)
{
    const int count = channelCursors();
    if (position < 0 || position >= count)
        return;
    for (int i = 1; i <= count; ++i) {
        cursors->setVisible(i, false);
        QCheckBox *box = cbPlot[static_cast<std::size_t>(i - 1)];
        box->setChecked(false);
        CWGraph1->setPlotVisible(i - 1, false);
    }
    const int cursor = position + 1;
    cursors->setVisible(cursor, true);
    cbPlot[static_cast<std::size_t>(position)]->setChecked(true);
    CWGraph1->setPlotVisible(position, true);
    placeAtMiddle(cursor);
    if (cursors->isVisible(PlotCursors::Reference)) {
        cursors->attach(PlotCursors::Reference, position);
        cursors->setPosition(PlotCursors::Reference, cursors->position(cursor));
    }
}

void frmGraphicRecord::CWGraph1_CursorChange(int cursor)
{
    if (cursor < 1 || cursor > PlotCursors::Count)
        return;
    const QPointF at = cursors->position(cursor);
    XPosition->setText(graph::clockText(at.x()));
    YPosition->setText(readout(cursors->plotOf(cursor), at.y()));
    PeriodVal->clear();
    AmplitudeVal->clear();
    // The stored point at the cursor's time, counted from 0.
    if (m_table && iXTime > 0) {
        const double row = std::round(at.x() * SecondsPerDay / iXTime);
        if (row >= 0 && row <= std::numeric_limits<qint32>::max())
            m_table->RowSelected(static_cast<qint32>(row));
    }
    if (GraphMode->value() != 3)
        return;
    const int channelCursor = lstChannel->currentRow() + 1;
    if (channelCursor < 1 || channelCursor > channelCursors())
        return;
    const QPointF reference = cursors->position(PlotCursors::Reference);
    const QPointF channel = cursors->position(channelCursor);
    PeriodVal->setText(graph::clockText(std::fabs(reference.x() - channel.x())));
    AmplitudeVal->setText(readout(cursors->plotOf(channelCursor), std::fabs(reference.y() - channel.y())));
}

void frmGraphicRecord::placeAtMiddle(int cursor)
{
    const QValueAxis *axis = CWGraph1->axisOf(cursor - 1);
    cursors->setPosition(cursor,
                         QPointF((CWGraph1->timeMin() + CWGraph1->timeMax()) / 2, (axis->min() + axis->max()) / 2));
}

// The read-outs float over the top right corner of the plot area.
void frmGraphicRecord::placeCursorFrame()
{
    const QRectF area = CWGraph1->chart()->plotArea();
    const QPoint corner = CWGraph1->viewport()->mapTo(this, CWGraph1->mapFromScene(area.topRight()));
    FrameCursor->move(std::max(0, corner.x() - FrameCursor->width() - 4), std::max(0, corner.y() + 4));
}

} // namespace qle
