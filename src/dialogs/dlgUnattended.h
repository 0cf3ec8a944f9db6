#pragma once

#include "instrument/LinkReconnector.h"
#include "mqtt/MqttSettings.h"
#include "SettingsDialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace qle {

// File > Unattended...: what the program does on its own while nobody is at
// the screen. A lost link taken up again by itself, how often and for how
// long; publishing to the lab's MQTT broker, and whether set commands are
// taken from it.
class dlgUnattended final : public SettingsDialog {
    Q_OBJECT
public:
    explicit dlgUnattended(QWidget *parent = nullptr);

    // Shows the stored settings; true with the new ones stored when OK
    // closed it. Broker settings that cannot be used keep the dialog open
    // with the reason under them.
    bool Execute();

    QCheckBox *chkReconnect;
    QSpinBox *spnRetrySec;
    QSpinBox *spnGiveUpMin;

    QGroupBox *grpMqtt;
    QLineEdit *txtHost;
    QSpinBox *spnPort;
    QLineEdit *txtUser;
    QLineEdit *txtPassword;
    QCheckBox *chkTls;
    QLineEdit *txtCaFile;
    QLineEdit *txtPrefix;
    QLineEdit *txtBench;
    QCheckBox *chkAllowCommands;
    QLabel *lblMqttProblem;

private:
    QGroupBox *reconnectGroup();
    QGroupBox *mqttGroup();
    void showReconnect(const ReconnectPolicy &policy);
    [[nodiscard]] ReconnectPolicy chosenReconnect() const;
    void showMqtt(const MqttSettings &settings);
    [[nodiscard]] MqttSettings chosenMqtt() const;
};

} // namespace qle
