#pragma once

#include "PanelBase.h"

namespace qle {

// The panel of the two-output model QLE-5505, which speaks the legacy command
// family: replies carry a unit letter, and a status word reports coupling and
// output.
class frmLayout3 final : public PanelBase {
    Q_OBJECT
public:
    // Measurements, set values and the status word; the wrap is a multiple of
    // the cycle so no step is skipped.
    static constexpr int PollSteps = 9;
    static constexpr int StepWrap = 6993;

    explicit frmLayout3(IPanelHost &host, QWidget *parent = nullptr);

    void SetupLayout() override;
    bool QueryInitialValues() override;
    void DoQuery() override;
    [[nodiscard]] int pollCycleLength() const override { return PollSteps; }
    void SetAllEnabled() override;
    void SetParallelDisableMode() override;
    void SetTrackDisableMode() override;
    void SetOutputOffDisplay() override;

    [[nodiscard]] int queryStep() const { return QueryStep; }
    void setQueryStep(int step) { QueryStep = static_cast<qint16>(step); }
    [[nodiscard]] int outModeState() const { return OutModeState; }

    TextBox *txtStatus = nullptr;
    TextBox *txtMemory = nullptr;

protected:
    void onCouplingClicked(Coupling coupling) override;
    void onRecallClicked() override;
    void afterEdit(ChannelSetting setting, int index) override;
    void couplingFollowed(Coupling coupling) override;
    [[nodiscard]] LivePlan livePlan() const override;

private:
    void connectSinks(int index);
    void onStatusWord(const QString &text);
    void rereadSetValues();

    qint16 QueryStep = 0;
    // Coupling last applied here: -1 none yet, 0 independent, 1 track, 2 parallel.
    qint16 OutModeState = -1;
};

} // namespace qle
