#include "frmLayout1.h"

#include "comm/CommTasker.h"
#include "platform/Trace.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "protocol/Commands.h"
#include "protocol/ReplyReaders.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qle {

frmLayout1::frmLayout1(IPanelHost &host, QWidget *parent) : PanelBase(host, CommandFamily::Colon, parent)
{
    setWindowTitle(host.machineType());
    auto *top = new QVBoxLayout(this);
    auto *channels = new QHBoxLayout;
    const char *captions[3] = {"CHANNEL 1", "CHANNEL 2", "CHANNEL 3"};
    for (int i = 0; i < 3; ++i) {
        ChannelControls &c = addChannel(i, captions[i], true);
        channels->addWidget(c.Frame1);
        connectSinks(i);
    }
    top->addLayout(channels);
    buildDeviceControls();
}

void frmLayout1::buildDeviceControls()
{
    auto *row = new QHBoxLayout;

    row->addWidget(addCouplingGroup());

    auto *autoMode = new QGroupBox("Auto Mode", this);
    auto *autoGrid = new QGridLayout(autoMode);
    auto makeReadout = [this](const char *name, QWidget *parent) {
        auto *box = new TextBox("0", parent);
        box->setObjectName(QString::fromLatin1(name));
        box->setAlignment(Qt::AlignRight);
        return box;
    };
    txtStartMemory = makeReadout("txtStartMemory", autoMode);
    txtEndMemory = makeReadout("txtEndMemory", autoMode);
    txtCycle = makeReadout("txtCycle", autoMode);
    autoGrid->addWidget(new QLabel("Start Memory", autoMode), 0, 0);
    autoGrid->addWidget(txtStartMemory, 0, 1);
    autoGrid->addWidget(new QLabel("End Memory", autoMode), 1, 0);
    autoGrid->addWidget(txtEndMemory, 1, 1);
    autoGrid->addWidget(new QLabel("Cycle", autoMode), 2, 0);
    autoGrid->addWidget(txtCycle, 2, 1);
    auto *btnChange = new QPushButton("Change...", autoMode);
    btnChange->setObjectName("btnChange");
    autoGrid->addWidget(btnChange, 3, 1);
    connect(btnChange, &QPushButton::clicked, this, [this] { m_host.mnuAutoMode_Click(); });
    row->addWidget(autoMode);

    auto *side = new QVBoxLayout;
    auto *delay = new QGroupBox("Delay", this);
    auto *delayLayout = new QHBoxLayout(delay);
    txtDelay = makeReadout("txtDelay", delay);
    delayLayout->addWidget(txtDelay);
    delayLayout->addWidget(new QLabel("X 100 ms", delay));
    side->addWidget(delay);
    side->addWidget(addMemoryGroup(&txtMemory));
    row->addLayout(side);

    auto *switches = new QVBoxLayout;
    tbnAutoRun = new CWButton("Auto Run", 0, this);
    tbnAutoRun->setObjectName("tbnAutoRun");
    connect(tbnAutoRun, &CWButton::ValueChanged, this, [this](bool value) { m_host.DoAutoRun(value); });
    switches->addLayout(outputSwitch());
    switches->addWidget(tbnAutoRun);
    switches->addWidget(btnClearErrorOfProtection);
    row->addLayout(switches);

    auto *topLayout = static_cast<QVBoxLayout *>(layout());
    topLayout->addLayout(row);
    topLayout->addWidget(txtCommType);
}

void frmLayout1::connectSinks(int i)
{
    ChannelControls &c = m_channels[i];
    connect(c.txtSetVolt, &QLineEdit::textChanged, this, [this, i](const QString &text) {
        if (text.isEmpty())
            return;
        Trace("txtSetVolt_Change" + QString::number(i) + ":" + text);
        ChannelControls &ch = m_channels[i];
        applyNumberReply(ch.numVoltage, text, true);
        ch.txtSetVolt->clear();
    });
    connect(c.txtSetCurr, &QLineEdit::textChanged, this,
            [this, i](const QString &text) { applyNumberReply(m_channels[i].numCurrent, text, true); });
    connect(c.txtOVP, &QLineEdit::textChanged, this,
            [this, i](const QString &text) { applyNumberReply(m_channels[i].numOVP, text, true); });
    connect(c.txtOCP, &QLineEdit::textChanged, this, [this, i](const QString &text) {
        const QSignalBlocker block(m_channels[i].tbnOCP);
        m_channels[i].tbnOCP->setValue(ReadProtectionFlag(text));
    });
    if (i == 0) {
        // Channel 1 shows no reading while the outputs run in parallel.
        connect(c.txtVoltage, &QLineEdit::textChanged, this, [this] {
            if (optParal->isChecked())
                m_channels[0].txtVoltage->clear();
        });
        connect(c.txtCurrent, &QLineEdit::textChanged, this, [this] {
            if (optParal->isChecked()) {
                m_channels[0].txtVoltage->clear();
                m_channels[0].txtCurrent->clear();
            }
        });
    }
}

void frmLayout1::SetupLayout()
{
    IsQueryInitialOK = false;
    for (int i = 0; i < 3; ++i)
        configureChannel(i, true, true);
    fillCommTypeText();
    m_host.engine().QueryCmdCnt = PollSteps;
    m_host.engine().QueryCmdMaxMsec = 0;
}

void frmLayout1::QuerySECMemory()
{
    queueQuery(query::AutoStartMemory, txtStartMemory);
    queueQuery(query::AutoEndMemory, txtEndMemory);
    queueQuery(query::AutoCycle, txtCycle);
}

void frmLayout1::QueryDelay()
{
    queueQuery(query::AutoDelay, txtDelay);
}

void frmLayout1::QueryMemory()
{
    queueQuery(query::Memory, txtMemory);
}

bool frmLayout1::QueryInitialValues()
{
    QuerySECMemory();
    QueryDelay();
    QueryMemory();
    for (int i = 0; i < 3; ++i)
        queueQuery(query::OvpLevel1 + i, m_channels[i].txtOVP);
    queueRoutine(query::OutputState, "SetupOutputOnOff");
    queueRoutine(query::OutputMode, "SetupOutputMode");
    queueRoutine(query::AutoRunState, "SetupAutoRun");
    for (int i = 0; i < 3; ++i)
        queueQuery(query::OcpState1 + i, m_channels[i].txtOCP);
    for (int i = 0; i < 3; ++i)
        queueQuery(query::SetVolt1 + i, m_channels[i].txtSetVolt);
    for (int i = 0; i < 3; ++i)
        queueQuery(query::SetCurr1 + i, m_channels[i].txtSetCurr);
    for (int i = 0; i < 3; ++i) {
        queueQuery(query::MeasVolt1 + 2 * i, m_channels[i].txtVoltage);
        queueQuery(query::MeasCurr1 + 2 * i, m_channels[i].txtCurrent);
    }
    return m_host.runQueryInitialDialog();
}

void frmLayout1::DoQuery()
{
    const int step = QueryStep % PollSteps;
    bool accepted = false;
    if (step < 6) {
        const ChannelControls &c = m_channels[step / 2];
        accepted = queueQuery(step, step % 2 == 0 ? static_cast<QObject *>(c.txtVoltage) : c.txtCurrent);
    } else {
        accepted = queueQuery(query::Error, txtError);
    }
    if (accepted)
        QueryStep = static_cast<qint16>((QueryStep + 1) % StepWrap);
}

LivePlan frmLayout1::livePlan() const
{
    QList<LiveQuery> measurements;
    QList<LiveQuery> rotating;
    for (int ch = 0; ch < 3; ++ch) {
        measurements.append({LiveItem::MeasuredVoltage, ch, query::MeasVolt1 + 2 * ch});
        measurements.append({LiveItem::MeasuredCurrent, ch, query::MeasCurr1 + 2 * ch});
    }
    const std::pair<LiveItem, int> perChannel[] = {{LiveItem::SetVoltage, query::SetVolt1},
                                                   {LiveItem::SetCurrent, query::SetCurr1},
                                                   {LiveItem::OverVoltageLevel, query::OvpLevel1},
                                                   {LiveItem::OverCurrentState, query::OcpState1}};
    for (const auto &[item, first] : perChannel) {
        for (int ch = 0; ch < 3; ++ch)
            rotating.append({item, ch, first + ch});
    }
    rotating.append({LiveItem::Coupling, -1, query::OutputMode});
    rotating.append({LiveItem::AutoRunState, -1, query::AutoRunState});
    rotating.append({LiveItem::Memory, -1, query::Memory});
    rotating.append({LiveItem::ErrorQueue, -1, query::Error});
    return {measurements, {{LiveItem::OutputState, -1, query::OutputState}}, rotating};
}

void frmLayout1::SetAllEnabled()
{
    setControlsEnabled(true);
    blankReadings();
}

void frmLayout1::SetParallelDisableMode()
{
    SetAllEnabled();
    const ChannelControls &c = m_channels[0];
    for (QWidget *w : std::initializer_list<QWidget *>{c.numVoltage, c.numCurrent, c.numOVP, c.tbnOCP})
        w->setEnabled(false);
}

void frmLayout1::SetTrackDisableMode()
{
    SetAllEnabled();
    m_channels[0].numVoltage->setEnabled(false);
    m_channels[0].numOVP->setEnabled(false);
}

void frmLayout1::SetAutoRunDisableMode()
{
    SetAllDisabled();
    for (QWidget *w : std::initializer_list<QWidget *>{btnClearErrorOfProtection, tbnAutoRun, tbnOutput}) {
        // A button inside a disabled group stays disabled; these sit directly on the panel.
        w->setEnabled(true);
    }
}

void frmLayout1::SetOutputOffDisplay()
{
    blankReadings();
}

void frmLayout1::setAutoRunValue(bool value)
{
    const QSignalBlocker block(tbnAutoRun);
    tbnAutoRun->setValue(value);
}

} // namespace qle
