#pragma once

#include "recording/table/RecorderHost.h"

#include <QString>

namespace qle {

// What the graph recorder needs of the main window besides what the table
// recorder needs: the Record menu's state and commands, and the way back to
// the control panel.
class IGraphHost : public IRecorderHost {
public:
    // Whether the Record menu is enabled (only while the output is on).
    [[nodiscard]] virtual bool recordMenuEnabled() const = 0;
    // The Record > Start, Record > Stop and Record > Setup commands.
    virtual void recordStart() = 0;
    virtual void recordStop() = 0;
    virtual void recordPeriod() = 0;
    // View > Control: the control panel in front, the recorders hidden.
    virtual void showControlPanel() = 0;
    // The model connected (or tried in testing mode), for the printed page.
    [[nodiscard]] virtual QString machineType() const = 0;
};

} // namespace qle
