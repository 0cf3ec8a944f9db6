// Live polling: the panel asks for its readings and the instrument's state
// every period and follows what the instrument reports.
#include "LivePoller.h"
#include "PanelBase.h"
#include "protocol/LegacyStatusWord.h"
#include "protocol/ReplyReaders.h"

#include "comm/CommTasker.h"
#include "instrument/Instrument.h"
#include "platform/Clock.h"
#include "platform/FormatPattern.h"
#include "platform/Platform.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"

#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>

namespace qle {
LivePoller &PanelBase::liveFor()
{
    if (!m_live) {
        m_live = new LivePoller(
            m_host.engine(), m_host.commands(), livePlan(),
            [this](const LiveQuery &query, const QString &text, bool stateIsCurrent) {
                followReply(query, text, stateIsCurrent);
            },
            // The read-times watch of Live: one cycle against the limit.
            [this](double) { m_host.ReportStatus("Read Times Failed!", 2000); }, this);
    }
    return *m_live;
}

void PanelBase::DoLiveQuery(int periodMs)
{
    liveFor().poll(periodMs, m_host.outputOn());
}

int PanelBase::liveReadingPeriodMs(int periodMs)
{
    return liveFor().readingPeriodMs(periodMs, m_host.outputOn());
}

qint64 PanelBase::liveSilenceMs() const
{
    return m_live ? m_live->silenceMs() : 0;
}

void PanelBase::restartLiveQuery(int periodMs)
{
    if (!m_live) {
        DoLiveQuery(periodMs);
        return;
    }
    m_live->restart(periodMs, m_host.outputOn());
}

void PanelBase::noteReading(int channel, bool current)
{
    if (channel < 0 || channel >= static_cast<int>(m_readingMs.size()))
        return;
    m_readingMs[static_cast<std::size_t>(channel)][current ? 1 : 0] =
        static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
    if (Instrument *model = m_host.instrument()) {
        const ChannelControls &c = m_channels.at(channel);
        model->noteReading(channel, current, (current ? c.txtCurrent : c.txtVoltage)->text());
    }
}

qint64 PanelBase::readingTimeMs(int channel) const
{
    if (channel < 0 || channel >= channelCount())
        return -1;
    const auto &times = m_readingMs[static_cast<std::size_t>(channel)];
    return std::min(times[0], times[1]);
}

Coupling PanelBase::selectedCoupling() const
{
    if (optParal && optParal->isChecked())
        return Coupling::Parallel;
    if (optTrack && optTrack->isChecked())
        return Coupling::Track;
    return Coupling::Independent;
}

QChar PanelBase::replyUnit(LiveItem item) const
{
    if (m_family != CommandFamily::Legacy)
        return {};
    return item == LiveItem::SetVoltage ? u'V' : u'A';
}

void PanelBase::followNumber(CWNumEdit *field, const QString &text, QChar unit)
{
    if (!field)
        return;
    std::optional<double> value;
    if (unit.isNull()) {
        bool ok = false;
        value = ReadNumber(text, &ok);
        if (!ok)
            value.reset();
    } else {
        value = ReadUnitValue(text.trimmed(), unit);
    }
    // A garbled reply changes nothing, and what the user is typing is kept
    // until it is entered or left.
    if (!value || field->hasUnsentEdit() || field->textForValue(*value) == field->textForValue(field->Value()))
        return;
    field->setValue(*value);
    noteField(field, ChangeSource::Instrument);
}

void PanelBase::followReply(const LiveQuery &query, const QString &text, bool stateIsCurrent)
{
    const bool channelQuery = query.channel >= 0 && query.channel < channelCount();
    if (query.item == LiveItem::MeasuredVoltage || query.item == LiveItem::MeasuredCurrent) {
        // Readings stay blank while the output is off.
        if (!channelQuery || !m_host.outputOn())
            return;
        const bool current = query.item == LiveItem::MeasuredCurrent;
        const ChannelControls &c = m_channels.at(query.channel);
        (current ? c.txtCurrent : c.txtVoltage)->setText(text);
        noteReading(query.channel, current);
        return;
    }
    if (!stateIsCurrent || m_host.mainFormState() != 3)
        return;
    switch (query.item) {
    case LiveItem::OutputState:
        if (const std::optional<bool> on = ReadSwitchState(text); on && *on != m_host.outputOn())
            m_host.followOutput(*on);
        break;
    case LiveItem::SetVoltage:
        if (channelQuery)
            followNumber(m_channels.at(query.channel).numVoltage, text, replyUnit(query.item));
        break;
    case LiveItem::SetCurrent:
        if (channelQuery)
            followNumber(m_channels.at(query.channel).numCurrent, text, replyUnit(query.item));
        break;
    case LiveItem::OverVoltageLevel:
        if (channelQuery)
            followNumber(m_channels.at(query.channel).numOVP, text, QChar());
        break;
    case LiveItem::OverCurrentState:
        if (const std::optional<bool> on = ReadSwitchState(text);
            on && channelQuery && m_channels.at(query.channel).tbnOCP) {
            const QSignalBlocker block(m_channels.at(query.channel).tbnOCP);
            m_channels.at(query.channel).tbnOCP->setValue(*on);
            if (Instrument *model = m_host.instrument())
                model->noteSetting(query.channel, ChannelSetting::OverCurrent, *on ? 1 : 0, ChangeSource::Instrument);
        }
        break;
    case LiveItem::Coupling: {
        const QString word = text.trimmed();
        if (!optIndep || (word != QLatin1String("0") && word != QLatin1String("1") && word != QLatin1String("2")))
            break;
        const Coupling coupling = CouplingFromReply(word);
        if (coupling != selectedCoupling()) {
            m_host.followCoupling(coupling);
            couplingFollowed(coupling);
        }
        break;
    }
    case LiveItem::AutoRunState:
        if (const std::optional<bool> on = ReadSwitchState(text); on && *on != m_host.autoRunOn())
            m_host.followAutoRun(*on);
        break;
    case LiveItem::Memory:
        if (TextBox *memory = memoryText())
            memory->setText(text.trimmed());
        if (Instrument *model = m_host.instrument(); model && text.trimmed().toInt() > 0)
            model->noteMemory(text.trimmed().toInt(), ChangeSource::Instrument);
        break;
    case LiveItem::StatusWord: {
        const LegacyStatusWord word = LegacyStatusWord::parse(text);
        if (word.coupling && optIndep && *word.coupling != selectedCoupling()) {
            m_host.followCoupling(*word.coupling);
            couplingFollowed(*word.coupling);
        }
        if (word.output && *word.output != m_host.outputOn())
            m_host.followOutput(*word.output);
        break;
    }
    case LiveItem::ErrorQueue:
        txtError->setText(text);
        break;
    case LiveItem::MeasuredVoltage:
    case LiveItem::MeasuredCurrent:
        break;
    }
}

} // namespace qle
