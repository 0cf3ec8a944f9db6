#include "dlgAutoMode.h"

namespace qle {

dlgAutoMode::dlgAutoMode(QWidget *parent)
    : NumberSettingsDialog("Auto Mode", "AutoMode",
                           {
                               {"numStartMemory", "StartMemory", 0, 0, 99, "lblStartMemory", "Start Memory:", {}, {}},
                               {"numEndMemory", "EndMemory", 0, 0, 99, "lblEndMemory", "End Memory:", {}, {}},
                               {"numCycle", "Cycle", 0, 0, 99999, "lblCycle", "Cycle:", {}, {}},
                           },
                           parent)
{
}

} // namespace qle
