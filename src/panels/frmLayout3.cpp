#include "frmLayout3.h"

#include "instrument/Instrument.h"

#include "protocol/LegacyStatusWord.h"
#include "protocol/ReplyReaders.h"

#include "comm/CommTasker.h"
#include "platform/FormatPattern.h"
#include "platform/Trace.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "protocol/Commands.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qle {
namespace {

qint16 stateOf(Coupling coupling)
{
    return coupling == Coupling::Independent ? 0 : (coupling == Coupling::Track ? 1 : 2);
}

// A set-value reply: the number followed by its unit letter. Anything else,
// or a body that is not a number, reads as 0.
double setValueOf(const QString &text, QChar unit)
{
    return ReadUnitValue(text, unit).value_or(0);
}

} // namespace

frmLayout3::frmLayout3(IPanelHost &host, QWidget *parent) : PanelBase(host, CommandFamily::Legacy, parent)
{
    setWindowTitle(host.machineType());
    auto *top = new QVBoxLayout(this);
    auto *channels = new QHBoxLayout;
    const char *captions[2] = {"CHANNEL 1", "CHANNEL 2"};
    for (int i = 0; i < 2; ++i) {
        ChannelControls &c = addChannel(i, captions[i], false);
        channels->addWidget(c.Frame1);
        connectSinks(i);
    }
    top->addLayout(channels);
    auto *row = new QHBoxLayout;
    row->addWidget(addCouplingGroup());
    row->addWidget(addMemoryGroup(&txtMemory));
    row->addLayout(outputSwitch());
    top->addLayout(row);
    top->addWidget(txtCommType);
    btnClearErrorOfProtection->hide();

    txtStatus = new TextBox("Text1", this);
    txtStatus->setObjectName("txtStatus");
    txtStatus->hide();
    connect(txtStatus, &QLineEdit::textChanged, this, &frmLayout3::onStatusWord);
}

void frmLayout3::connectSinks(int i)
{
    ChannelControls &c = m_channels[i];
    connect(c.txtSetVolt, &QLineEdit::textChanged, this, [this, i](const QString &text) {
        Trace("txtSetVolt_Change" + QString::number(i) + ":" + text);
        if (text.isEmpty())
            return;
        m_channels[i].numVoltage->setValue(setValueOf(text, u'V'));
        noteField(m_channels[i].numVoltage, ChangeSource::Instrument);
    });
    connect(c.txtSetCurr, &QLineEdit::textChanged, this, [this, i](const QString &text) {
        if (text.isEmpty())
            return;
        m_channels[i].numCurrent->setValue(setValueOf(text, u'A'));
        noteField(m_channels[i].numCurrent, ChangeSource::Instrument);
    });
    connect(c.txtVoltage, &QLineEdit::textChanged, this, [this, i](const QString &text) {
        TextBox *box = m_channels[i].txtVoltage;
        if (i == 1 && optParal->isChecked()) {
            box->clear();
            return;
        }
        if (!text.isEmpty())
            box->setText(StripUnit(text, u'V'));
    });
    connect(c.txtCurrent, &QLineEdit::textChanged, this, [this, i](const QString &text) {
        ChannelControls &ch = m_channels[i];
        if (i == 1 && optParal->isChecked()) {
            ch.txtVoltage->clear();
            ch.txtCurrent->clear();
            return;
        }
        ch.txtCurrent->setText(StripUnit(text, u'A'));
    });
}

void frmLayout3::SetupLayout()
{
    IsQueryInitialOK = false;
    for (int i = 0; i < 2; ++i)
        configureChannel(i, true, true);
    fillCommTypeText();
    m_host.engine().QueryCmdCnt = PollSteps;
    m_host.engine().QueryCmdMaxMsec = 0;
}

bool frmLayout3::QueryInitialValues()
{
    queueQuery(query::SetVolt1, m_channels[0].txtSetVolt);
    queueQuery(query::SetVolt1 + 1, m_channels[1].txtSetVolt);
    queueQuery(query::SetCurr1, m_channels[0].txtSetCurr);
    queueQuery(query::SetCurr1 + 1, m_channels[1].txtSetCurr);
    queueQuery(query::MeasVolt1, m_channels[0].txtVoltage);
    queueQuery(query::MeasCurr1, m_channels[0].txtCurrent);
    queueQuery(query::MeasVolt2, m_channels[1].txtVoltage);
    queueQuery(query::MeasCurr2, m_channels[1].txtCurrent);
    queueQuery(query::LegacyStatus, txtStatus);
    return m_host.runQueryInitialDialog();
}

void frmLayout3::DoQuery()
{
    const int step = QueryStep % PollSteps;
    QObject *sink = nullptr;
    int index = 0;
    if (step < 4) {
        const ChannelControls &c = m_channels[step / 2];
        sink = step % 2 == 0 ? static_cast<QObject *>(c.txtVoltage) : c.txtCurrent;
        index = step;
    } else if (step < 6) {
        sink = m_channels[step - 4].txtSetVolt;
        index = query::SetVolt1 + step - 4;
    } else if (step < 8) {
        sink = m_channels[step - 6].txtSetCurr;
        index = query::SetCurr1 + step - 6;
    } else {
        sink = txtStatus;
        index = query::LegacyStatus;
    }
    if (queueQuery(index, sink))
        QueryStep = static_cast<qint16>((QueryStep + 1) % StepWrap);
}

LivePlan frmLayout3::livePlan() const
{
    QList<LiveQuery> measurements;
    QList<LiveQuery> rotating;
    for (int ch = 0; ch < 2; ++ch) {
        measurements.append({LiveItem::MeasuredVoltage, ch, query::MeasVolt1 + 2 * ch});
        measurements.append({LiveItem::MeasuredCurrent, ch, query::MeasCurr1 + 2 * ch});
    }
    for (int ch = 0; ch < 2; ++ch)
        rotating.append({LiveItem::SetVoltage, ch, query::SetVolt1 + ch});
    for (int ch = 0; ch < 2; ++ch)
        rotating.append({LiveItem::SetCurrent, ch, query::SetCurr1 + ch});
    // The status word tells both output and coupling.
    return {measurements, {{LiveItem::StatusWord, -1, query::LegacyStatus}}, rotating};
}

void frmLayout3::couplingFollowed(Coupling coupling)
{
    // The instrument already runs this coupling: a click on it sends nothing.
    OutModeState = stateOf(coupling);
}

void frmLayout3::afterEdit(ChannelSetting setting, int index)
{
    // The next polled reply is applied even when it repeats the text
    // received before the edit.
    const ChannelControls &c = m_channels[index];
    (setting == ChannelSetting::Voltage ? c.txtSetVolt : c.txtSetCurr)->clear();
}

void frmLayout3::onCouplingClicked(Coupling coupling)
{
    const qint16 wanted = stateOf(coupling);
    if (coupling == Coupling::Independent) {
        if (OutModeState != 0) {
            applyCoupling(coupling);
            tbnOutput->setValue(false);
        }
        OutModeState = 0;
        return;
    }
    if (OutModeState == wanted)
        return;
    m_host.engine().ResetQueryTasks();
    applyCoupling(coupling);
    // A coupling change shows the output as off; the button's change switches it off.
    tbnOutput->setValue(false);
    OutModeState = wanted;
}

void frmLayout3::onRecallClicked()
{
    m_host.mnuRecallMemory_Click();
    tbnOutput->setValue(false);
}

void frmLayout3::onStatusWord(const QString &text)
{
    if (text.isEmpty())
        return;
    const LegacyStatusWord word = LegacyStatusWord::parse(text);
    bool changed = false;
    if (word.coupling) {
        QRadioButton *option = *word.coupling == Coupling::Independent ? optIndep
                               : *word.coupling == Coupling::Track     ? optTrack
                                                                       : optParal;
        changed = !option->isChecked();
        option->setChecked(true);
        onCouplingClicked(*word.coupling);
    }
    if (word.output && *word.output != tbnOutput->Value())
        tbnOutput->setValue(*word.output);
    if (changed)
        rereadSetValues();
    // Every polled word is applied, also one equal to the last: the output
    // may have gone on and off at the instrument between two polls.
    txtStatus->clear();
}

void frmLayout3::rereadSetValues()
{
    queueQuery(query::SetVolt1, m_channels[0].txtSetVolt);
    queueQuery(query::SetVolt1 + 1, m_channels[1].txtSetVolt);
    queueQuery(query::SetCurr1, m_channels[0].txtSetCurr);
    queueQuery(query::SetCurr1 + 1, m_channels[1].txtSetCurr);
}

void frmLayout3::SetAllEnabled()
{
    setControlsEnabled(true);
    blankReadings();
}

void frmLayout3::SetParallelDisableMode()
{
    SetAllEnabled();
    m_channels[1].numVoltage->setEnabled(false);
    m_channels[1].numCurrent->setEnabled(false);
}

void frmLayout3::SetTrackDisableMode()
{
    SetAllEnabled();
    m_channels[1].numVoltage->setEnabled(false);
}

void frmLayout3::SetOutputOffDisplay()
{
    blankReadings();
}

} // namespace qle
