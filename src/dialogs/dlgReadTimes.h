#pragma once

#include "NumberSettingsDialog.h"

namespace qle {

// The longest time one polling cycle may take, in seconds.
class dlgReadTimes final : public NumberSettingsDialog {
    Q_OBJECT
public:
    // The caller turns the seconds into milliseconds in a 16-bit quantity:
    // 32 s is the most that fits.
    static constexpr int MaxSeconds = 32;

    explicit dlgReadTimes(QWidget *parent = nullptr);

    [[nodiscard]] int ReadTimes() const { return value(0); }
};

} // namespace qle
