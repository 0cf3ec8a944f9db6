#pragma once

#include "PanelBase.h"

namespace qle {

// The panel of three-output instruments of the colon command family.
class frmLayout1 final : public PanelBase {
    Q_OBJECT
public:
    static constexpr int PollSteps = 7;
    static constexpr int StepWrap = 7000;

    explicit frmLayout1(IPanelHost &host, QWidget *parent = nullptr);

    void SetupLayout() override;
    bool QueryInitialValues() override;
    void DoQuery() override;
    [[nodiscard]] int pollCycleLength() const override { return PollSteps; }
    void QuerySECMemory() override;
    void QueryMemory() override;
    void QueryDelay() override;

    void SetAllEnabled() override;
    void SetParallelDisableMode() override;
    void SetTrackDisableMode() override;
    void SetAutoRunDisableMode() override;
    void SetOutputOffDisplay() override;

    void setAutoRunValue(bool value) override;

    [[nodiscard]] int queryStep() const { return QueryStep; }
    void setQueryStep(int step) { QueryStep = static_cast<qint16>(step); }

    CWButton *tbnAutoRun = nullptr;
    TextBox *txtStartMemory = nullptr;
    TextBox *txtEndMemory = nullptr;
    TextBox *txtCycle = nullptr;
    TextBox *txtDelay = nullptr;
    TextBox *txtMemory = nullptr;

protected:
    [[nodiscard]] LivePlan livePlan() const override;
    [[nodiscard]] TextBox *memoryText() const override { return txtMemory; }

private:
    void buildDeviceControls();
    void connectSinks(int index);

    qint16 QueryStep = 0;
};

} // namespace qle
