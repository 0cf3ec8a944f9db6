#include "MemoryDialog.h"

namespace qle {

MemoryDialog::MemoryDialog(const QString &caption, QWidget *parent)
    : NumberSettingsDialog(caption, "Memory", {{"numEdit", "Memory", 0, 1, 4, "lblMemory", "Memory", {}, {}}}, parent)
{
}

} // namespace qle
