#include "dlgUnattended.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace qle {

dlgUnattended::dlgUnattended(QWidget *parent)
    : SettingsDialog(parent), chkReconnect(new QCheckBox("Reconnect by itself after a lost link", this)),
      spnRetrySec(new QSpinBox(this)), spnGiveUpMin(new QSpinBox(this)),
      grpMqtt(new QGroupBox("Publish to the lab's MQTT broker", this)), txtHost(new QLineEdit(this)),
      spnPort(new QSpinBox(this)), txtUser(new QLineEdit(this)), txtPassword(new QLineEdit(this)),
      chkTls(new QCheckBox("TLS", this)), txtCaFile(new QLineEdit(this)), txtPrefix(new QLineEdit(this)),
      txtBench(new QLineEdit(this)),
      chkAllowCommands(new QCheckBox("Take set commands from the broker (VOLT, CURR, OVP, OUTP, COUP)", this)),
      lblMqttProblem(new QLabel(this))
{
    setWindowTitle("Unattended");
    fields()->addWidget(reconnectGroup(), 0, 0, 1, 2);
    fields()->addWidget(mqttGroup(), 1, 0, 1, 2);
    takesFirstFocus(chkReconnect);
}

QGroupBox *dlgUnattended::reconnectGroup()
{
    auto *group = new QGroupBox("Lost link", this);
    group->setObjectName("grpReconnect");
    chkReconnect->setObjectName("chkReconnect");
    spnRetrySec->setObjectName("spnRetrySec");
    spnRetrySec->setRange(1, ReconnectPolicy::MaxRetrySec);
    spnRetrySec->setSuffix(" s");
    spnGiveUpMin->setObjectName("spnGiveUpMin");
    spnGiveUpMin->setRange(0, ReconnectPolicy::MaxGiveUpMin);
    spnGiveUpMin->setSuffix(" min");
    spnGiveUpMin->setSpecialValueText("never");
    auto *note = new QLabel("Without it, a lost link stops the panel and the recording behind a message, "
                            "as it always did. With it, the recording goes on with gaps while the same "
                            "instrument (model and serial number) is looked for on the same link.",
                            group);
    note->setObjectName("lblReconnectNote");
    note->setWordWrap(true);
    auto *grid = new QGridLayout(group);
    grid->addWidget(chkReconnect, 0, 0, 1, 2);
    grid->addWidget(new QLabel("Try again every", group), 1, 0);
    grid->addWidget(spnRetrySec, 1, 1);
    grid->addWidget(new QLabel("Give up after", group), 2, 0);
    grid->addWidget(spnGiveUpMin, 2, 1);
    grid->addWidget(note, 3, 0, 1, 2);
    connect(chkReconnect, &QCheckBox::toggled, this, [this](bool on) {
        spnRetrySec->setEnabled(on);
        spnGiveUpMin->setEnabled(on);
    });
    return group;
}

QGroupBox *dlgUnattended::mqttGroup()
{
    grpMqtt->setObjectName("grpMqtt");
    grpMqtt->setCheckable(true);
    const std::pair<QWidget *, const char *> names[] = {{txtHost, "txtHost"},
                                                        {spnPort, "spnPort"},
                                                        {txtUser, "txtUser"},
                                                        {txtPassword, "txtPassword"},
                                                        {chkTls, "chkTls"},
                                                        {txtCaFile, "txtCaFile"},
                                                        {txtPrefix, "txtPrefix"},
                                                        {txtBench, "txtBench"},
                                                        {chkAllowCommands, "chkAllowCommands"},
                                                        {lblMqttProblem, "lblMqttProblem"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(name);
    spnPort->setRange(1, 65535);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtCaFile->setPlaceholderText("the system's certificate authorities");
    lblMqttProblem->setWordWrap(true);
    lblMqttProblem->setStyleSheet("color: #b00020");
    auto *grid = new QGridLayout(grpMqtt);
    int row = 0;
    const auto addRow = [&](const QString &label, QWidget *field) {
        grid->addWidget(new QLabel(label, grpMqtt), row, 0);
        grid->addWidget(field, row++, 1);
    };
    addRow("Broker", txtHost);
    addRow("Port", spnPort);
    addRow("User", txtUser);
    addRow("Password", txtPassword);
    grid->addWidget(chkTls, row++, 1);
    addRow("CA file", txtCaFile);
    addRow("Topic prefix", txtPrefix);
    addRow("Bench name", txtBench);
    grid->addWidget(chkAllowCommands, row++, 0, 1, 2);
    grid->addWidget(lblMqttProblem, row, 0, 1, 2);
    // The usual port goes with the choice of TLS unless another was typed.
    connect(chkTls, &QCheckBox::toggled, this, [this](bool tls) {
        if (spnPort->value() == (tls ? MqttSettings::PlainPort : MqttSettings::TlsPort))
            spnPort->setValue(tls ? MqttSettings::TlsPort : MqttSettings::PlainPort);
        txtCaFile->setEnabled(tls);
    });
    return grpMqtt;
}

void dlgUnattended::showMqtt(const MqttSettings &settings)
{
    grpMqtt->setChecked(settings.enabled);
    txtHost->setText(settings.host);
    chkTls->setChecked(settings.tls);
    spnPort->setValue(settings.port);
    txtUser->setText(settings.user);
    txtPassword->setText(settings.password);
    txtCaFile->setText(settings.caFile);
    txtCaFile->setEnabled(settings.tls);
    txtPrefix->setText(settings.topicPrefix);
    txtBench->setText(settings.bench);
    chkAllowCommands->setChecked(settings.allowCommands);
    lblMqttProblem->clear();
    lblMqttProblem->hide();
}

MqttSettings dlgUnattended::chosenMqtt() const
{
    MqttSettings settings;
    settings.enabled = grpMqtt->isChecked();
    settings.host = txtHost->text().trimmed();
    settings.port = spnPort->value();
    settings.user = txtUser->text();
    settings.password = txtPassword->text();
    settings.tls = chkTls->isChecked();
    settings.caFile = txtCaFile->text().trimmed();
    settings.topicPrefix = txtPrefix->text().trimmed();
    settings.bench = txtBench->text().trimmed();
    settings.allowCommands = chkAllowCommands->isChecked();
    return settings;
}

void dlgUnattended::showReconnect(const ReconnectPolicy &policy)
{
    chkReconnect->setChecked(policy.enabled);
    spnRetrySec->setValue(policy.retrySec);
    spnGiveUpMin->setValue(policy.giveUpMin);
    spnRetrySec->setEnabled(policy.enabled);
    spnGiveUpMin->setEnabled(policy.enabled);
}

ReconnectPolicy dlgUnattended::chosenReconnect() const
{
    return {chkReconnect->isChecked(), spnRetrySec->value(), spnGiveUpMin->value()};
}

bool dlgUnattended::Execute()
{
    showReconnect(ReconnectPolicy::load(platform::settings()));
    showMqtt(MqttSettings::load(platform::settings()));
    for (;;) {
        if (!runModal())
            return false;
        const MqttSettings mqtt = chosenMqtt();
        const QString problem = mqtt.enabled ? mqtt.problem() : QString();
        if (problem.isEmpty()) {
            chosenReconnect().save(platform::settings());
            mqtt.save(platform::settings());
            return true;
        }
        lblMqttProblem->setText(problem);
        lblMqttProblem->show();
    }
}

} // namespace qle
