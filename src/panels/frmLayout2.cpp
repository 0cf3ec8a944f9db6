#include "frmLayout2.h"

#include "comm/CommTasker.h"
#include "platform/Trace.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "protocol/Commands.h"
#include "protocol/ReplyReaders.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qle {

frmLayout2::frmLayout2(IPanelHost &host, QWidget *parent) : PanelBase(host, CommandFamily::Colon, parent)
{
    setWindowTitle(host.machineType());
    auto *top = new QVBoxLayout(this);
    ChannelControls &c = addChannel(0, QString(), true);
    top->addWidget(c.Frame1);
    // Wide enough for the main window's menu bar, which follows the panel's size.
    setMinimumWidth(440);
    auto *buttons = new QHBoxLayout;
    buttons->addLayout(outputSwitch());
    buttons->addWidget(btnClearErrorOfProtection);
    top->addLayout(buttons);
    top->addWidget(txtCommType);

    connect(c.txtSetVolt, &QLineEdit::textChanged, this, [this](const QString &text) {
        Trace("txtSetVolt_Change0:" + text);
        applyNumberReply(m_channels[0].numVoltage, text, false);
    });
    connect(c.txtSetCurr, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            applyNumberReply(m_channels[0].numCurrent, text, true);
    });
    connect(c.txtOVP, &QLineEdit::textChanged, this,
            [this](const QString &text) { applyNumberReply(m_channels[0].numOVP, text, true); });
    connect(c.txtOCP, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QSignalBlocker block(m_channels[0].tbnOCP);
        m_channels[0].tbnOCP->setValue(ReadProtectionFlag(text));
    });
}

void frmLayout2::SetupLayout()
{
    IsQueryInitialOK = false;
    configureChannel(0, false, false);
    fillCommTypeText();
    m_host.engine().QueryCmdCnt = PollSteps;
    m_host.engine().QueryCmdMaxMsec = 0;
}

bool frmLayout2::QueryInitialValues()
{
    const ChannelControls &c = m_channels[0];
    queueQuery(query::OvpLevel1, c.txtOVP);
    queueRoutine(query::OutputState, "SetupOutputOnOff");
    queueQuery(query::OcpState1, c.txtOCP);
    queueQuery(query::SetVolt1, c.txtSetVolt);
    queueQuery(query::SetCurr1, c.txtSetCurr);
    queueQuery(query::MeasVolt1, c.txtVoltage);
    queueQuery(query::MeasCurr1, c.txtCurrent);
    return m_host.runQueryInitialDialog();
}

void frmLayout2::DoQuery()
{
    const ChannelControls &c = m_channels[0];
    bool accepted = false;
    switch (QueryStep % PollSteps) {
    case 0:
        accepted = queueQuery(query::MeasVolt1, c.txtVoltage);
        break;
    case 1:
        accepted = queueQuery(query::MeasCurr1, c.txtCurrent);
        break;
    default:
        accepted = queueQuery(query::Error, txtError);
        break;
    }
    if (accepted)
        QueryStep = static_cast<qint16>((QueryStep + 1) % StepWrap);
}

LivePlan frmLayout2::livePlan() const
{
    return {{{LiveItem::MeasuredVoltage, 0, query::MeasVolt1}, {LiveItem::MeasuredCurrent, 0, query::MeasCurr1}},
            {{LiveItem::OutputState, -1, query::OutputState}},
            {{LiveItem::SetVoltage, 0, query::SetVolt1},
             {LiveItem::SetCurrent, 0, query::SetCurr1},
             {LiveItem::OverVoltageLevel, 0, query::OvpLevel1},
             {LiveItem::OverCurrentState, 0, query::OcpState1},
             {LiveItem::ErrorQueue, -1, query::Error}}};
}

// The shortest decimal form of the value, always with a point.
QString frmLayout2::valueText(double value) const
{
    return SetValueText(2, value);
}

void frmLayout2::SetAllEnabled()
{
    setControlsEnabled(true);
}

void frmLayout2::SetParallelDisableMode()
{
    SetAllEnabled();
    const ChannelControls &c = m_channels[0];
    for (QWidget *w : std::initializer_list<QWidget *>{c.numVoltage, c.numCurrent, c.numOVP})
        w->setEnabled(false);
}

void frmLayout2::SetTrackDisableMode()
{
    SetAllEnabled();
    m_channels[0].numVoltage->setEnabled(false);
    m_channels[0].numOVP->setEnabled(false);
}

void frmLayout2::SetOutputOffDisplay()
{
    blankReadings();
}

} // namespace qle
