#include "dlgDelay.h"

namespace qle {

// Nothing stored yet reads as 0, below the field's minimum: a first run offers 1.
dlgDelay::dlgDelay(QWidget *parent)
    : NumberSettingsDialog("Delay", "Delay",
                           {{"numEdit", "Delay", 0, 1, 99, "lblDelay", "Delay", "lbl100ms", "x 100ms"}}, parent)
{
}

} // namespace qle
