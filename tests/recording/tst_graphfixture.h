#pragma once

#include "ManualClock.h"
#include "MemorySettings.h"
#include "platform/widgets/CWNumEdit.h"
#include "RecorderDoubles.h"
#include "RecordFile.h"
#include "recording/table/frmDataTable.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/graph/GraphHost.h"
#include "recording/database/RecordDatabase.h"
#include "ScriptedMessageBox.h"

#include <QLineEdit>

#include <functional>
#include <memory>

namespace qle::testing {

// The main window as the graph recorder sees it: the Record menu's state,
// and counts of the commands the graph forwards.
class FakeGraphHost final : public IGraphHost {
public:
    [[nodiscard]] int mainFormState() const override { return state; }
    [[nodiscard]] Panel *currentPanel() const override { return panel; }
    [[nodiscard]] frmGraphicRecord *graphWindow() const override { return graph; }
    [[nodiscard]] int recordScaleSetting() const override { return recScale; }
    [[nodiscard]] bool recordMenuEnabled() const override { return menuEnabled; }
    void recordStart() override
    {
        ++starts;
        if (table)
            table->BeginRecordData();
    }
    void recordStop() override
    {
        ++stops;
        if (table)
            table->EndRecordData(0);
    }
    // The settings dialog: the test says what the user chooses.
    void recordPeriod() override
    {
        ++periods;
        if (onPeriod)
            onPeriod();
    }
    void showControlPanel() override { ++returns; }
    [[nodiscard]] QString machineType() const override { return model; }
    QString model = QStringLiteral("KMA-3303T");

    int state = 3;
    Panel *panel = nullptr;
    frmGraphicRecord *graph = nullptr;
    frmDataTable *table = nullptr;
    int recScale = 0;
    bool menuEnabled = true;
    std::function<void()> onPeriod;
    int starts = 0;
    int stops = 0;
    int periods = 0;
    int returns = 0;
};

// A graph window and its table recorder on a private record file, reading a
// fake panel whose channel-1 limits are 32 V and 5 A.
struct GraphRig {
    explicit GraphRig(int channels = 1, int recScale = 0) : panel(channels)
    {
        host.panel = &panel;
        host.recScale = recScale;
        auto *volts = new CWNumEdit(0, &panel);
        volts->setObjectName("numVoltage");
        volts->setMaximum(32);
        auto *amps = new CWNumEdit(0, &panel);
        amps->setObjectName("numCurrent");
        amps->setMaximum(5);
        table = std::make_unique<frmDataTable>(host, file.db());
        table->ContrlIdx = static_cast<qint16>(channels - 1);
        graph = std::make_unique<frmGraphicRecord>(host, file.db());
        graph->txtChannels->setText(QString::number(channels));
        graph->setTableRecorder(table.get());
        host.graph = graph.get();
        host.table = table.get();
    }
    GraphRig(const GraphRig &) = delete;
    GraphRig &operator=(const GraphRig &) = delete;
    ~GraphRig()
    {
        graph.reset();
        table.reset();
    }

    // Puts rows into the working table as the sampler writes them, with the
    // given voltage and current on every channel, row by row.
    bool storeRows(const QStringList &volts, const QStringList &amps, qint64 firstSeqNo = 0)
    {
        RecordDatabase records(file.db());
        for (qsizetype i = 0; i < volts.size(); ++i) {
            RecordRow row;
            row.seqNo = firstSeqNo + i;
            row.recTime = QStringLiteral("2024/03/01 10:00:%1").arg(i, 2, 10, QLatin1Char('0'));
            for (std::size_t ch = 0; ch < 3; ++ch) {
                row.pval[ch] = volts.at(i);
                row.sval[ch] = amps.value(i);
            }
            row.timeTick = i;
            row.diffLastTime = i == 0 ? 0 : 1;
            if (!records.addSample(row))
                return false;
        }
        return true;
    }

    bool store(const QList<RecordRow> &rows)
    {
        RecordDatabase records(file.db());
        for (const RecordRow &row : rows)
            if (!records.addSample(row))
                return false;
        return true;
    }

    // A row as the table recorder hands it to ShowGraph.
    static RecordRow row(qint64 seqNo, const QString &volts, const QString &amps)
    {
        RecordRow r;
        r.seqNo = seqNo;
        r.pval = {volts, volts, volts};
        r.sval = {amps, amps, amps};
        return r;
    }

    RecordFile file;
    ScriptedMessageBox boxes;
    MemorySettings settings;
    ManualClock clock{5000.0};
    FakePanel panel;
    FakeGraphHost host;
    std::unique_ptr<frmDataTable> table;
    std::unique_ptr<frmGraphicRecord> graph;
};

} // namespace qle::testing
