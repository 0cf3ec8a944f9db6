#pragma once

#include "panels/Panel.h"

#include <QString>

namespace qle::bench {

// A three-output panel showing fixed readings (12, 13, 14 V; 1, 2, 3 A), its
// output on, so the recorders have something to take without an instrument.
class ReadingPanel final : public Panel {
public:
    ReadingPanel() { IsOutput = true; }
    [[nodiscard]] int channelCount() const override { return 3; }
    void SetupLayout() override {}
    bool QueryInitialValues() override { return false; }
    void AfterQueryInitialValuesBeforeShow() override {}
    void DoQuery() override {}
    void SetAllEnabled() override {}
    void SetAllDisabled() override {}
    void SetParallelDisableMode() override {}
    void SetTrackDisableMode() override {}
    void SetOutputOffDisplay() override {}
    void setOutputValue(bool value) override { IsOutput = value; }
    [[nodiscard]] QString voltageText(int channel) const override { return QString::number(12.0 + channel, 'f', 3); }
    [[nodiscard]] QString currentText(int channel) const override { return QString::number(1.0 + channel, 'f', 3); }
};

} // namespace qle::bench
