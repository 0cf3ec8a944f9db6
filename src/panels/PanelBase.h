#pragma once

#include "Panel.h"
#include "PanelHost.h"
#include "protocol/DeviceCommands.h"
#include "protocol/LivePlan.h"
#include "TextBox.h"

#include <QList>

#include <array>

class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qle {

enum class ChangeSource;

class CWButton;
class CWNumEdit;
class LivePoller;

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
    [[nodiscard]] std::optional<Coupling> couplingShown() const override;
    [[nodiscard]] qint64 readingTimeMs(int channel) const override;
    void DoLiveQuery(int periodMs) override;
    void restartLiveQuery(int periodMs) override;
    [[nodiscard]] int liveReadingPeriodMs(int periodMs) override;
    [[nodiscard]] qint64 liveSilenceMs() const override;
    // The Live poller, made at the first Live cycle; nullptr before.
    [[nodiscard]] const LivePoller *livePoller() const { return m_live; }
    // A Live reply applied to the panel and the device-wide states. A state
    // reply that may predate a command is passed over.
    void followReply(const LiveQuery &query, const QString &text, bool stateIsCurrent);

    [[nodiscard]] const ChannelControls &channel(int index) const { return m_channels.at(index); }
    [[nodiscard]] TextBox *errorSink() const { return txtError; }
    [[nodiscard]] TextBox *commTypeText() const { return txtCommType; }
    [[nodiscard]] CWButton *outputButton() const { return tbnOutput; }
    [[nodiscard]] QPushButton *clearErrorButton() const { return btnClearErrorOfProtection; }
    [[nodiscard]] QLabel *outputStateLabel() const { return lblOutputState; }

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

    // What Live polling asks of this panel's instrument.
    [[nodiscard]] virtual LivePlan livePlan() const = 0;
    // The memory number's read-out, on the panels that show one.
    [[nodiscard]] virtual TextBox *memoryText() const { return nullptr; }
    // Runs after the panel took a coupling the instrument reported.
    virtual void couplingFollowed(Coupling) {}
    // The unit letter the family puts behind set-value replies, or none.
    [[nodiscard]] QChar replyUnit(LiveItem item) const;
    // The Output button with its ON/OFF indicator beside it.
    QHBoxLayout *outputSwitch();

    bool queueQuery(int index, QObject *sink);
    bool queueRoutine(int index, const char *routine);
    void sendCommand(const QString &text);
    // A person's edit of a channel setting, sent through the instrument
    // model (a host without one gets the command as it is).
    void sendSetting(int index, ChannelSetting setting, double value, const QString &text);

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
    [[nodiscard]] virtual bool acceptsEdit(ChannelSetting, int) const { return true; }
    // The value as it is sent; "###0.###" with a point unless a panel differs.
    [[nodiscard]] virtual QString valueText(double value) const;
    // Runs after a set command was queued.
    virtual void afterEdit(ChannelSetting, int) {}
    void onNumericEdit(ChannelSetting setting, CWNumEdit *field, int index, double value, double previous);
    void onOcpClicked(int index);
    // A set-value reply put into its field. Text that is not a number gives 0
    // when zeroOnGarbage, else leaves the field as it is.
    void applyNumberReply(CWNumEdit *field, const QString &text, bool zeroOnGarbage);
    // Tells the model a set-value field's value and who set it.
    void noteField(const CWNumEdit *field, ChangeSource source);
    void showModelSetting(int channel, ChannelSetting setting, ChangeSource source);
    void onErrorReply(const QString &text);
    void setControlsEnabled(bool enabled);
    void blankReadings();
    void noteReading(int channel, bool current);
    [[nodiscard]] Coupling selectedCoupling() const;
    void followNumber(CWNumEdit *field, const QString &text, QChar unit);

    IPanelHost &m_host;
    CommandFamily m_family;
    QList<ChannelControls> m_channels;
    TextBox *txtError = nullptr;
    TextBox *txtCommType = nullptr;
    CWButton *tbnOutput = nullptr;
    QPushButton *btnClearErrorOfProtection = nullptr;
    QLabel *lblOutputState = nullptr;
    LivePoller *m_live = nullptr;
    // The panel's Live poller, made on first use.
    LivePoller &liveFor();
    // Arrival of each channel's voltage and current reading, monotonic ms.
    std::array<std::array<qint64, 2>, 3> m_readingMs{{{-1, -1}, {-1, -1}, {-1, -1}}};
};

} // namespace qle
