#pragma once

// A graph window as the benchmarks drive it: a host that answers as a main
// window with a panel would, three channels with every trace shown, on screen.
#include "recording/graph/frmGraphicRecord.h"
#include "recording/graph/GraphHost.h"
#include "recording/graph/GraphView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace qle::bench {

class GraphHost final : public IGraphHost {
public:
    [[nodiscard]] int mainFormState() const override { return 3; }
    [[nodiscard]] Panel *currentPanel() const override { return panel; }
    [[nodiscard]] frmGraphicRecord *graphWindow() const override { return graph; }
    [[nodiscard]] int recordScaleSetting() const override { return 0; }
    [[nodiscard]] bool recordMenuEnabled() const override { return false; }
    void recordStart() override {}
    void recordStop() override {}
    void recordPeriod() override {}
    void showControlPanel() override {}
    [[nodiscard]] QString machineType() const override { return {}; }
    Panel *panel = nullptr;
    frmGraphicRecord *graph = nullptr;
};

// Three channels, every trace shown, the longest time length, on screen.
inline void prepare(frmGraphicRecord &graph)
{
    graph.ContrlIdx = 2;
    graph.txtChannels->setText("3");
    graph.txtChannels_Change();
    for (QCheckBox *box : graph.cbPlot)
        box->setChecked(true);
    graph.cmbXLength->setCurrentIndex(graph.cmbXLength->count() - 1);
    graph.resize(1000, 700);
    graph.show();
    QApplication::processEvents();
}

// Everything a stored point or a redraw leads to, up to the chart painted.
inline void drawn(frmGraphicRecord &graph)
{
    graph.updateNow();
    graph.CWGraph1->viewport()->repaint();
}

} // namespace qle::bench
