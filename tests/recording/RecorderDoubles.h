#pragma once

#include "panels/Panel.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/RecorderHost.h"

#include <QStringList>

namespace qle::testing {

// A control panel that shows whatever readings the test puts on it.
class FakePanel final : public Panel {
public:
    explicit FakePanel(int channels = 1) : m_channels(channels) { IsOutput = true; }

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

    void show(int channel, const QString &voltage, const QString &current)
    {
        volts[channel] = voltage;
        amps[channel] = current;
    }

    QStringList volts{"0.00", "0.00", "0.00"};
    QStringList amps{"0.000", "0.000", "0.000"};

private:
    int m_channels;
};

// The main window as the table recorder sees it.
class FakeRecorderHost final : public IRecorderHost {
public:
    [[nodiscard]] int mainFormState() const override { return state; }
    [[nodiscard]] Panel *currentPanel() const override { return panel; }
    [[nodiscard]] frmGraphicRecord *graphWindow() const override { return graph; }
    [[nodiscard]] int recordScaleSetting() const override { return recScale; }

    int state = 3;
    Panel *panel = nullptr;
    frmGraphicRecord *graph = nullptr;
    int recScale = 0;
};

} // namespace qle::testing
