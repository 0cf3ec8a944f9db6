#include "dlgReadTimes.h"

namespace qle {

dlgReadTimes::dlgReadTimes(QWidget *parent)
    : NumberSettingsDialog("Read Time", "ReadTimes",
                           {{"numEdit", "ReadTimes", 5, 0, MaxSeconds, "lblReadValue",
                             "Max time to complete one set of queries", "lblSecond", "sec"}},
                           parent)
{
}

} // namespace qle
