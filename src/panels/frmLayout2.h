#pragma once

#include "PanelBase.h"

namespace qle {

// The panel of one-output instruments of the colon command family.
class frmLayout2 final : public PanelBase {
    Q_OBJECT
public:
    static constexpr int PollSteps = 3;
    static constexpr int StepWrap = 3000;

    explicit frmLayout2(IPanelHost &host, QWidget *parent = nullptr);

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

protected:
    [[nodiscard]] QString valueText(double value) const override;
    [[nodiscard]] LivePlan livePlan() const override;

private:
    qint16 QueryStep = 0;
};

} // namespace qle
