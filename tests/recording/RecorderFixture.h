#pragma once

#include "ManualClock.h"
#include "RecorderDoubles.h"
#include "RecordFile.h"
#include "recording/table/frmDataTable.h"
#include "recording/database/RecordTime.h"
#include "ScriptedMessageBox.h"

#include <QLineEdit>

#include <memory>

namespace qle::testing {

// A table recorder on a private record file, reading a fake panel, with a
// clock the test moves one second per tick.
struct Recorder {
    explicit Recorder(int channels = 1) : panel(channels)
    {
        host.panel = &panel;
        host.graph = &graph;
        table = std::make_unique<frmDataTable>(host, file.db());
        table->ContrlIdx = static_cast<qint16>(channels - 1);
    }
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // One second passes and the recording timer fires.
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            clock.advance(1.0);
            table->TimerRecordData_Timer();
        }
    }
    // Shows the reading on every channel, then ticks.
    void tickWith(const QString &voltage, const QString &current)
    {
        for (int ch = 0; ch < 3; ++ch)
            panel.show(ch, voltage, current);
        tick();
    }
    // Starts a recording of the given seconds, interval and mode.
    void start(qint16 seconds, qint16 scale, qint16 mode)
    {
        table->RecordPeriod(0, 0, static_cast<qint16>(seconds / 60), static_cast<qint16>(seconds % 60), scale, mode);
        table->BeginRecordData();
    }
    [[nodiscard]] QDateTime startTime() const { return parseRecordTime(table->txtStartTime->text()); }

    RecordFile file;
    ScriptedMessageBox boxes;
    ManualClock clock{5000.0};
    FakePanel panel;
    frmGraphicRecord graph;
    FakeRecorderHost host;
    std::unique_ptr<frmDataTable> table;
};

} // namespace qle::testing
