#pragma once

#include "NumberSettingsDialog.h"

namespace qle {

// The auto-run step delay, in units of 100 ms.
class dlgDelay final : public NumberSettingsDialog {
    Q_OBJECT
public:
    explicit dlgDelay(QWidget *parent = nullptr);

    [[nodiscard]] int Delay() const { return value(0); }
};

} // namespace qle
