#pragma once

#include "Panel.h"
#include "PanelHost.h"
#include "protocol/DeviceCommands.h"
#include "TextBox.h"

#include <QList>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace qle {

class CWButton;
class CWNumEdit;

// The controls of one output channel.
struct ChannelControls {
    QGroupBox *Frame1 = nullptr;
    TextBox *txtVoltage = nullptr;
    TextBox *txtCurrent = nullptr;
    CWNumEdit *numVoltage = nullptr;
    CWNumEdit *numCurrent = nullptr;
    CWNumEdit *numOVP = nullptr; // none on the legacy panel
    CWButton *tbnOCP = nullptr;  // none on the legacy panel
    // Hidden reply sinks.
    TextBox *txtSetVolt = nullptr;
    TextBox *txtSetCurr = nullptr;
    TextBox *txtOVP = nullptr;
    TextBox *txtOCP = nullptr;
};

// What the three panels share: queuing through the engine, the channel
// controls and their set commands, catalogue limits, the error reply, and
// switching the controls on and off.
class PanelBase : public Panel {
    Q_OBJECT
public:
    [[nodiscard]] int channelCount() const override { return static_cast<int>(m_channels.size()); }
    [[nodiscard]] QString voltageText(int channel) const override;
    [[nodiscard]] QString currentText(int channel) const override;
    void AfterQueryInitialValuesBeforeShow() override;
    void SetAllDisabled() override;
    void SetOutputModeEnabled() override;
    void setOutputValue(bool value) override;
    void selectCoupling(Coupling coupling) override;

    [[nodiscard]] const ChannelControls &channel(int index) const { return m_channels.at(index); }
    [[nodiscard]] TextBox *errorSink() const { return txtError; }
    [[nodiscard]] TextBox *commTypeText() const { return txtCommType; }
    [[nodiscard]] CWButton *outputButton() const { return tbnOutput; }
    [[nodiscard]] QPushButton *clearErrorButton() const { return btnClearErrorOfProtection; }

    // The coupling choice, on the panels that have one.
    QRadioButton *optIndep = nullptr;
    QRadioButton *optParal = nullptr;
    QRadioButton *optTrack = nullptr;

public slots:
    void SetupOutputOnOff(const QString &reply) override;
    void SetupOutputMode(const QString &reply) override;
    void SetupAutoRun(const QString &reply) override;

protected:
    PanelBase(IPanelHost &host, CommandFamily family, QWidget *parent);

    bool queueQuery(int index, QObject *sink);
    bool queueRoutine(int index, const char *routine);
    void sendCommand(const QString &text);

    // The "Out Mode" group; a click on an option runs onCouplingClicked.
    QGroupBox *addCouplingGroup();
    virtual void onCouplingClicked(Coupling coupling);
    // The device operation of a coupling.
    void applyCoupling(Coupling coupling);
    // The memory group with its Recall and Save buttons.
    QGroupBox *addMemoryGroup(TextBox **memoryText);
    virtual void onRecallClicked();

    // Builds channel `index` (0-based) inside a group box.
    ChannelControls &addChannel(int index, const QString &caption, bool withProtection);
    // The catalogue row that holds channel `index`'s limits.
    [[nodiscard]] const CatalogueRow *channelRow(int index) const;
    // Limits, steps and patterns of channel `index` from the catalogue.
    void configureChannel(int index, bool setMinimum, bool resetReadouts);
    void fillCommTypeText();
    [[nodiscard]] static QString zeroReading(const CWNumEdit *field);

    // A user edit of a numeric field, as a set command.
    virtual bool acceptsEdit(ChannelSetting, int) const { return true; }
    // The value as it is sent; "###0.###" with a point unless a panel differs.
    [[nodiscard]] virtual QString valueText(double value) const;
    // Runs after a set command was queued.
    virtual void afterEdit(ChannelSetting, int) {}
    void onNumericEdit(ChannelSetting setting, CWNumEdit *field, int index, double value, double previous);
    void onOcpClicked(int index);
    // A set-value reply put into its field. Text that is not a number gives 0
    // when zeroOnGarbage, else leaves the field as it is.
    static void applyNumberReply(CWNumEdit *field, const QString &text, bool zeroOnGarbage);
    void onErrorReply(const QString &text);
    void setControlsEnabled(bool enabled);
    void blankReadings();

    IPanelHost &m_host;
    CommandFamily m_family;
    QList<ChannelControls> m_channels;
    TextBox *txtError = nullptr;
    TextBox *txtCommType = nullptr;
    CWButton *tbnOutput = nullptr;
    QPushButton *btnClearErrorOfProtection = nullptr;
};

} // namespace qle
