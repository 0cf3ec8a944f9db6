#pragma once

#include "MemoryDialog.h"

namespace qle {

// Asks which setting memory the instrument recalls.
class dlgRecallData final : public MemoryDialog {
    Q_OBJECT
public:
    explicit dlgRecallData(QWidget *parent = nullptr) : MemoryDialog("Recall Data", parent) {}
};

} // namespace qle
