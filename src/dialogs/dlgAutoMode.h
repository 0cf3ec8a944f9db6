#pragma once

#include "NumberSettingsDialog.h"

namespace qle {

// The auto-run sequence: first and last memory and the number of cycles.
class dlgAutoMode final : public NumberSettingsDialog {
    Q_OBJECT
public:
    explicit dlgAutoMode(QWidget *parent = nullptr);

    [[nodiscard]] int StartMemory() const { return value(0); }
    [[nodiscard]] int EndMemory() const { return value(1); }
    [[nodiscard]] int Cycle() const { return value(2); }
};

} // namespace qle
