#pragma once

#include "MemoryDialog.h"

namespace qle {

// Asks which setting memory the instrument stores into.
class dlgSaveData final : public MemoryDialog {
    Q_OBJECT
public:
    explicit dlgSaveData(QWidget *parent = nullptr) : MemoryDialog("Save Data", parent) {}
};

} // namespace qle
