#pragma once

#include "panels/Panel.h"
#include "recording/RecorderHost.h"

#include <QStringList>

namespace qle::testing {

// A control panel that shows whatever readings it is given.
class ShownReadings final : public Panel {
public:
    explicit ShownReadings(int channels) : m_channels(channels) { IsOutput = true; }

    [[nodiscard]] int channelCount() const override { return m_channels; }
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
    [[nodiscard]] QString voltageText(int channel) const override { return volts.value(channel); }
    [[nodiscard]] QString currentText(int channel) const override { return amps.value(channel); }

    QStringList volts{"0.000", "0.000", "0.000"};
    QStringList amps{"0.000", "0.000", "0.000"};

private:
    int m_channels;
};

// The main window as the table recorder sees it: connected, no graph window.
class ConnectedHost final : public IRecorderHost {
public:
    explicit ConnectedHost(Panel *panel) : m_panel(panel) {}
    [[nodiscard]] int mainFormState() const override { return 3; }
    [[nodiscard]] Panel *currentPanel() const override { return m_panel; }
    [[nodiscard]] frmGraphicRecord *graphWindow() const override { return nullptr; }
    [[nodiscard]] int recordScaleSetting() const override { return 0; }

private:
    Panel *m_panel;
};

} // namespace qle::testing
