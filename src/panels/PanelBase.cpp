#include "PanelBase.h"

#include "instrument/Instrument.h"

#include "comm/CommTasker.h"
#include "platform/FormatPattern.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/Trace.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "protocol/Catalogue.h"
#include "protocol/Commands.h"
#include "protocol/ReplyReaders.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace qle {
namespace {

// Plainly visible: green "ON" while the output is on, grey "OFF" otherwise.
void showOutputState(QLabel &label, bool on)
{
    // As wide for "OFF" as for "ON", so that nothing moves when it changes.
    label.setMinimumWidth(label.fontMetrics().horizontalAdvance(QStringLiteral("OFF")) + 24);
    label.setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    label.setToolTip(on ? QStringLiteral("The output is on") : QStringLiteral("The output is off"));
    label.setStyleSheet(on ? QStringLiteral("QLabel { background: #2e9e44; color: white; font-weight: bold; "
                                            "padding: 2px 8px; }")
                           : QStringLiteral("QLabel { background: #d8d8d8; color: #404040; font-weight: bold; "
                                            "padding: 2px 8px; }"));
}

} // namespace

PanelBase::PanelBase(IPanelHost &host, CommandFamily family, QWidget *parent)
    : Panel(parent), m_host(host), m_family(family)
{
    txtError = new TextBox(QString(), this);
    txtError->setObjectName("txtError");
    txtError->hide();
    connect(txtError, &QLineEdit::textChanged, this, &PanelBase::onErrorReply);
    txtCommType = new TextBox(QString(), this);
    txtCommType->setObjectName("txtCommType");
    tbnOutput = new CWButton("Output", 0, this);
    tbnOutput->setObjectName("tbnOutput");
    connect(tbnOutput, &CWButton::ValueChanged, this, [this](bool value) { m_host.DoOutput(value); });
    lblOutputState = new QLabel(this);
    lblOutputState->setObjectName("lblOutputState");
    lblOutputState->setAlignment(Qt::AlignCenter);
    lblOutputState->setFrameShape(QFrame::Panel);
    lblOutputState->setFrameShadow(QFrame::Sunken);
    lblOutputState->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    showOutputState(*lblOutputState, false);
    btnClearErrorOfProtection = new QPushButton("Clear Error", this);
    btnClearErrorOfProtection->setObjectName("btnClearErrorOfProtection");
    connect(btnClearErrorOfProtection, &QPushButton::clicked, this, [this] {
        if (m_host.mainFormState() == 3)
            sendCommand(ClearProtectionCommand());
    });
    if (Instrument *model = m_host.instrument())
        connect(model, &Instrument::settingChanged, this, &PanelBase::showModelSetting);
}

// A value a script set through the model shows in its field; nothing is
// sent for it again.
void PanelBase::showModelSetting(int channel, ChannelSetting setting, ChangeSource source)
{
    Instrument *model = m_host.instrument();
    if (!model || (source != ChangeSource::Script && source != ChangeSource::Program) || channel < 0 ||
        channel >= channelCount())
        return;
    const ChannelControls &c = m_channels.at(channel);
    const ChannelState &state = model->channel(channel);
    if (setting == ChannelSetting::OverCurrent) {
        if (c.tbnOCP && state.overCurrentProtection) {
            const QSignalBlocker block(c.tbnOCP);
            c.tbnOCP->setValue(*state.overCurrentProtection);
        }
        return;
    }
    CWNumEdit *field = setting == ChannelSetting::Voltage   ? c.numVoltage
                       : setting == ChannelSetting::Current ? c.numCurrent
                                                            : c.numOVP;
    const std::optional<double> value = setting == ChannelSetting::Voltage   ? state.setVoltage
                                        : setting == ChannelSetting::Current ? state.setCurrent
                                                                             : state.overVoltage;
    if (field && value)
        field->setValue(*value);
}

bool PanelBase::queueQuery(int index, QObject *sink)
{
    return m_host.engine().ExecQueryTask(m_host.commands().query(index), 5, sink, "Text", 4, false);
}

bool PanelBase::queueRoutine(int index, const char *routine)
{
    return m_host.engine().ExecQueryTask(m_host.commands().query(index), 5, this, QString::fromLatin1(routine), 1,
                                         false);
}

void PanelBase::sendCommand(const QString &text)
{
    m_host.engine().ExecCmdTask(text, 0, this, QString(), 1, false);
}

QString PanelBase::voltageText(int channel) const
{
    return channel >= 0 && channel < m_channels.size() ? m_channels.at(channel).txtVoltage->text() : QString();
}

QString PanelBase::currentText(int channel) const
{
    return channel >= 0 && channel < m_channels.size() ? m_channels.at(channel).txtCurrent->text() : QString();
}

ChannelControls &PanelBase::addChannel(int index, const QString &caption, bool withProtection)
{
    ChannelControls c;
    c.Frame1 = new QGroupBox(caption, this);
    c.Frame1->setObjectName("Frame1");
    auto *grid = new QGridLayout(c.Frame1);
    auto makeText = [&](const char *name, const QString &initial, bool visible) {
        auto *box = new TextBox(initial, c.Frame1);
        box->setObjectName(QString::fromLatin1(name));
        box->setProperty("Index", index);
        box->setVisible(visible);
        return box;
    };
    auto makeNumber = [&](const char *name) {
        auto *field = new CWNumEdit(index, c.Frame1);
        field->setObjectName(QString::fromLatin1(name));
        return field;
    };
    c.txtVoltage = makeText("txtVoltage", "0.00", true);
    c.txtCurrent = makeText("txtCurrent", "0.00", true);
    c.txtVoltage->setAlignment(Qt::AlignRight);
    c.txtCurrent->setAlignment(Qt::AlignRight);
    connect(c.txtVoltage, &TextBox::assigned, this, [this, index] { noteReading(index, false); });
    connect(c.txtCurrent, &TextBox::assigned, this, [this, index] { noteReading(index, true); });
    c.numVoltage = makeNumber("numVoltage");
    c.numCurrent = makeNumber("numCurrent");
    c.txtSetVolt = makeText("txtSetVolt", QString(), false);
    c.txtSetCurr = makeText("txtSetCurr", QString(), false);
    int row = 0;
    grid->addWidget(new QLabel("Voltage [V]", c.Frame1), row, 0);
    grid->addWidget(c.txtVoltage, row++, 1);
    grid->addWidget(new QLabel("Current [A]", c.Frame1), row, 0);
    grid->addWidget(c.txtCurrent, row++, 1);
    grid->addWidget(new QLabel("Set Voltage", c.Frame1), row, 0);
    grid->addWidget(c.numVoltage, row++, 1);
    grid->addWidget(new QLabel("Set Current", c.Frame1), row, 0);
    grid->addWidget(c.numCurrent, row++, 1);
    if (withProtection) {
        c.numOVP = makeNumber("numOVP");
        c.tbnOCP = new CWButton("OCP", index, c.Frame1);
        c.tbnOCP->setObjectName("tbnOCP");
        c.txtOVP = makeText("txtOVP", QString(), false);
        c.txtOCP = makeText("txtOCP", QString(), false);
        grid->addWidget(new QLabel("OVP", c.Frame1), row, 0);
        grid->addWidget(c.numOVP, row++, 1);
        grid->addWidget(c.tbnOCP, row++, 1);
        connect(c.numOVP, &CWNumEdit::ValueChanged, this, [this, field = c.numOVP](int i, double v, double p) {
            onNumericEdit(ChannelSetting::OverVoltage, field, i, v, p);
        });
        connect(c.tbnOCP, &CWButton::Clicked, this, &PanelBase::onOcpClicked);
    }
    connect(c.numVoltage, &CWNumEdit::ValueChanged, this, [this, field = c.numVoltage](int i, double v, double p) {
        onNumericEdit(ChannelSetting::Voltage, field, i, v, p);
    });
    connect(c.numCurrent, &CWNumEdit::ValueChanged, this, [this, field = c.numCurrent](int i, double v, double p) {
        onNumericEdit(ChannelSetting::Current, field, i, v, p);
    });
    m_channels.append(c);
    return m_channels.last();
}

const CatalogueRow *PanelBase::channelRow(int index) const
{
    return ChannelCatalogueRow([this](const QString &mtype) { return m_host.catalogueRow(mtype); },
                               m_host.machineType(), index);
}

QString PanelBase::zeroReading(const CWNumEdit *field)
{
    return field->textForValue(0) + "0";
}

void PanelBase::configureChannel(int index, bool setMinimum, bool resetReadouts)
{
    const CatalogueRow *row = channelRow(index);
    if (!row)
        return;
    ChannelControls &c = m_channels[index];
    CWNumEdit *fields[3] = {c.numVoltage, c.numCurrent, c.numOVP};
    for (int f = 0; f < 3; ++f) {
        if (!fields[f])
            continue;
        fields[f]->setMaximum(row->maximum(f));
        if (setMinimum)
            fields[f]->setMinimum(0);
        fields[f]->setIncrement(row->step(f));
        fields[f]->setFormatString(row->pattern(f));
        fields[f]->setValue(0);
    }
    if (resetReadouts) {
        c.txtVoltage->setText(zeroReading(c.numVoltage));
        c.txtCurrent->setText(zeroReading(c.numCurrent));
    }
}

void PanelBase::fillCommTypeText()
{
    const QString link = m_host.commType();
    if (link == QLatin1String("Menu"))
        txtCommType->setText("Testing mode");
    else if (link == QLatin1String("RS232"))
        txtCommType->setText("RS-232 9600BPS / 8bits/None/1bits");
    else if (link == QLatin1String("TCP"))
        txtCommType->setText("Interface: LAN (TCP)");
    else if (link == QLatin1String("GPIB"))
        txtCommType->setText("Interface: GPIB;Address:" + QString::number(m_host.gpibAddress()));
}

void PanelBase::AfterQueryInitialValuesBeforeShow()
{
    m_host.engine().QueryCmdMaxMsec = static_cast<qint16>(m_host.readTimesSetting() * 1000);
}

void PanelBase::onNumericEdit(ChannelSetting setting, CWNumEdit *field, int index, double value, double previous)
{
    if (value < field->Minimum()) {
        field->setValue(previous);
        return;
    }
    if (m_host.mainFormState() != 3 || !acceptsEdit(setting, index))
        return;
    sendSetting(index, setting, value, valueText(value));
    afterEdit(setting, index);
}

QString PanelBase::valueText(double value) const
{
    return SetValueText(1, value);
}

void PanelBase::onOcpClicked(int index)
{
    const ChannelControls &c = m_channels.at(index);
    const QString state = c.tbnOCP->Value() ? "1" : "0";
    if (m_host.mainFormState() != 3)
        return;
    sendSetting(index, ChannelSetting::OverCurrent, c.tbnOCP->Value() ? 1 : 0, state);
}

void PanelBase::sendSetting(int index, ChannelSetting setting, double value, const QString &text)
{
    Instrument *model = m_host.instrument();
    if (!model) {
        sendCommand(ChannelCommand(m_family, index + 1, setting, text));
        return;
    }
    // Polling reads the error queue in its cycle and acts on a refusal.
    model->setChannel(
        index, setting, value, ChangeSource::User,
        [host = &m_host](const Outcome &outcome) {
            if (outcome.kind == Outcome::Kind::Refused)
                host->ReportStatus("Not sent: " + outcome.text, 5000);
        },
        Instrument::ErrorCheck::ByPolling);
}

void PanelBase::applyNumberReply(CWNumEdit *field, const QString &text, bool zeroOnGarbage)
{
    bool ok = false;
    const double value = ReadNumber(text, &ok);
    if (ok || zeroOnGarbage) {
        field->setValue(value);
        noteField(field, ChangeSource::Instrument);
    }
}

void PanelBase::noteField(const CWNumEdit *field, ChangeSource source)
{
    Instrument *model = m_host.instrument();
    if (!model || !field)
        return;
    const QString name = field->objectName();
    const ChannelSetting setting = name == QLatin1String("numCurrent") ? ChannelSetting::Current
                                   : name == QLatin1String("numOVP")   ? ChannelSetting::OverVoltage
                                                                       : ChannelSetting::Voltage;
    model->noteSetting(field->index(), setting, field->Value(), source);
}

void PanelBase::onErrorReply(const QString &text)
{
    if (!IsErrorReply(text))
        return;
    if (Instrument *model = m_host.instrument())
        model->noteError(text.trimmed());
    // With the output off there is nothing to switch off and no run to stop:
    // the error is told, not sent back as a command or a box.
    if (!m_host.outputOn()) {
        m_host.ReportStatus("Error detected: '" + text + "'", 5000);
        return;
    }
    m_host.DoOutput(false);
    // Shown from the event loop, so the engine is not held while the box is open.
    QTimer::singleShot(0, this, [text] {
        platform::messageBox().show("Error detected: '" + text + "'", QString(), IMessageBox::Buttons::Ok,
                                    IMessageBox::Icon::None);
    });
}

void PanelBase::setControlsEnabled(bool enabled)
{
    for (QWidget *child : findChildren<QWidget *>()) {
        // The output indicator tells the state; it stays readable.
        if (child != lblOutputState)
            child->setEnabled(enabled);
    }
}

void PanelBase::SetAllDisabled()
{
    setControlsEnabled(false);
}

void PanelBase::blankReadings()
{
    for (ChannelControls &c : m_channels) {
        c.txtVoltage->clear();
        c.txtCurrent->clear();
    }
}

QGroupBox *PanelBase::addCouplingGroup()
{
    auto *group = new QGroupBox("Out Mode", this);
    auto *layout = new QVBoxLayout(group);
    optIndep = new QRadioButton("INDEP", group);
    optParal = new QRadioButton("PARALL", group);
    optTrack = new QRadioButton("TRACK", group);
    optIndep->setObjectName("optIndep");
    optParal->setObjectName("optParal");
    optTrack->setObjectName("optTrack");
    optIndep->setChecked(true);
    for (QRadioButton *option : {optIndep, optParal, optTrack})
        layout->addWidget(option);
    connect(optIndep, &QRadioButton::clicked, this, [this] { onCouplingClicked(Coupling::Independent); });
    connect(optParal, &QRadioButton::clicked, this, [this] { onCouplingClicked(Coupling::Parallel); });
    connect(optTrack, &QRadioButton::clicked, this, [this] { onCouplingClicked(Coupling::Track); });
    return group;
}

void PanelBase::onCouplingClicked(Coupling coupling)
{
    applyCoupling(coupling);
}

void PanelBase::applyCoupling(Coupling coupling)
{
    switch (coupling) {
    case Coupling::Independent:
        m_host.mnuIndep_Click();
        break;
    case Coupling::Parallel:
        m_host.mnuParallel_Click();
        break;
    case Coupling::Track:
        m_host.mnuTrack_Click();
        break;
    }
}

QGroupBox *PanelBase::addMemoryGroup(TextBox **memoryText)
{
    auto *memory = new QGroupBox("Memory", this);
    auto *layout = new QHBoxLayout(memory);
    auto *text = new TextBox("0", memory);
    text->setObjectName("txtMemory");
    text->setAlignment(Qt::AlignRight);
    auto *btnRecall = new QPushButton("Recall", memory);
    auto *btnSave = new QPushButton("Save", memory);
    btnRecall->setObjectName("btnRecall");
    btnSave->setObjectName("btnSave");
    layout->addWidget(text);
    layout->addWidget(btnRecall);
    layout->addWidget(btnSave);
    connect(btnRecall, &QPushButton::clicked, this, &PanelBase::onRecallClicked);
    connect(btnSave, &QPushButton::clicked, this, [this] { m_host.mnuSaveMemory_Click(); });
    *memoryText = text;
    return memory;
}

void PanelBase::onRecallClicked()
{
    m_host.mnuRecallMemory_Click();
}

void PanelBase::selectCoupling(Coupling coupling)
{
    if (!optIndep)
        return;
    QRadioButton *option = coupling == Coupling::Independent ? optIndep
                           : coupling == Coupling::Parallel  ? optParal
                                                             : optTrack;
    option->setChecked(true);
}

std::optional<Coupling> PanelBase::couplingShown() const
{
    if (!optIndep)
        return std::nullopt;
    return selectedCoupling();
}

void PanelBase::SetOutputModeEnabled()
{
    if (!optIndep)
        return;
    if (optIndep->isChecked())
        applyCoupling(Coupling::Independent);
    if (optParal->isChecked())
        applyCoupling(Coupling::Parallel);
    if (optTrack->isChecked())
        applyCoupling(Coupling::Track);
}

void PanelBase::SetupOutputOnOff(const QString &reply)
{
    m_host.DoOutput(reply != QLatin1String("0"));
}

void PanelBase::SetupOutputMode(const QString &reply)
{
    m_host.SetMenuOutputModeAllUnchecked();
    applyCoupling(CouplingFromReply(reply));
}

void PanelBase::SetupAutoRun(const QString &reply)
{
    m_host.DoAutoRun(reply != QLatin1String("0"));
}

void PanelBase::setOutputValue(bool value)
{
    // The device operation that calls this has already done the work.
    const QSignalBlocker block(tbnOutput);
    tbnOutput->setValue(value);
    showOutputState(*lblOutputState, value);
}

QHBoxLayout *PanelBase::outputSwitch()
{
    // A layout, not a widget: the button stays a direct child of the panel,
    // where the auto-run rule can enable it alone.
    auto *layout = new QHBoxLayout;
    layout->addWidget(tbnOutput, 1);
    layout->addWidget(lblOutputState, 0, Qt::AlignVCenter);
    return layout;
}

} // namespace qle
