#pragma once

#include "PanelBase.h"

class QRadioButton;

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
    void QuerySECMemory() override;
    void QueryMemory() override;
    void QueryDelay() override;

    void SetAllEnabled() override;
    void SetParallelDisableMode() override;
    void SetTrackDisableMode() override;
    void SetAutoRunDisableMode() override;
    void SetOutputModeEnabled() override;
    void SetOutputOffDisplay() override;

    void setAutoRunValue(bool value) override;
    void selectCoupling(Coupling coupling) override;

    [[nodiscard]] int queryStep() const { return QueryStep; }
    void setQueryStep(int step) { QueryStep = static_cast<qint16>(step); }

    QRadioButton *optIndep = nullptr;
    QRadioButton *optParal = nullptr;
    QRadioButton *optTrack = nullptr;
    CWButton *tbnAutoRun = nullptr;
    TextBox *txtStartMemory = nullptr;
    TextBox *txtEndMemory = nullptr;
    TextBox *txtCycle = nullptr;
    TextBox *txtDelay = nullptr;
    TextBox *txtMemory = nullptr;

public slots:
    void SetupOutputOnOff(const QString &reply) override;
    void SetupOutputMode(const QString &reply) override;
    void SetupAutoRun(const QString &reply) override;

private:
    void buildDeviceControls();
    void connectSinks(int index);

    qint16 QueryStep = 0;
};

} // namespace qle
