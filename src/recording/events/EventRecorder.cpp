#include "EventRecorder.h"

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "protocol/ReplyReaders.h"

#include <utility>

namespace qle {
namespace {

QString settingName(ChannelSetting setting)
{
    switch (setting) {
    case ChannelSetting::Voltage:
        return QStringLiteral("voltage");
    case ChannelSetting::Current:
        return QStringLiteral("current");
    case ChannelSetting::OverVoltage:
        return QStringLiteral("over-voltage");
    case ChannelSetting::OverCurrent:
        break;
    }
    return QStringLiteral("over-current protection");
}

std::optional<double> settingValue(const ChannelState &state, ChannelSetting setting)
{
    switch (setting) {
    case ChannelSetting::Voltage:
        return state.setVoltage;
    case ChannelSetting::Current:
        return state.setCurrent;
    case ChannelSetting::OverVoltage:
        return state.overVoltage;
    case ChannelSetting::OverCurrent:
        break;
    }
    if (!state.overCurrentProtection)
        return std::nullopt;
    return *state.overCurrentProtection ? 1.0 : 0.0;
}

} // namespace

EventRecorder::EventRecorder(QObject *parent) : QObject(parent)
{
}

EventRecorder::~EventRecorder()
{
    detach();
}

qint64 EventRecorder::nowMs()
{
    return static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
}

RecordEvent::Source EventRecorder::sourceOf(ChangeSource source)
{
    switch (source) {
    case ChangeSource::User:
        return Source::User;
    case ChangeSource::Instrument:
        return Source::Instrument;
    case ChangeSource::Script:
        return Source::Script;
    case ChangeSource::Program:
        break;
    }
    return Source::Program;
}

RecordEvent::Source EventRecorder::by(ChangeSource source) const
{
    const Source of = sourceOf(source);
    return of == Source::Script ? m_scriptSource : of;
}

void EventRecorder::attach(Instrument *instrument)
{
    detach();
    m_instrument = instrument;
    if (!instrument)
        return;
    rememberState();
    m_connections = {
        connect(instrument, &Instrument::settingChanged, this, &EventRecorder::onSetting),
        connect(instrument, &Instrument::outputChanged, this, &EventRecorder::onOutput),
        connect(instrument, &Instrument::readingChanged, this, &EventRecorder::onReading),
        connect(instrument, &Instrument::couplingChanged, this, &EventRecorder::onCoupling),
        connect(instrument, &Instrument::memoryChanged, this, &EventRecorder::onMemory),
        connect(instrument, &Instrument::memoryRecalled, this, &EventRecorder::onRecalled),
        connect(instrument, &Instrument::errorChanged, this, &EventRecorder::onError),
        connect(instrument, &Instrument::linkLost, this, &EventRecorder::onLinkLost),
        connect(instrument, &Instrument::stateChanged, this, &EventRecorder::onState),
    };
}

void EventRecorder::detach()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_instrument = nullptr;
}

void EventRecorder::rememberState()
{
    m_settings.clear();
    m_output.reset();
    m_coupling.reset();
    m_memory.reset();
    if (!m_instrument)
        return;
    m_output = m_instrument->output();
    m_coupling = m_instrument->coupling();
    m_memory = m_instrument->memory();
    for (int ch = 0; ch < m_instrument->channelCount(); ++ch) {
        Settings known;
        for (int s = 0; s < SettingCount; ++s)
            known.at(static_cast<std::size_t>(s)) =
                settingValue(m_instrument->channel(ch), static_cast<ChannelSetting>(s));
        m_settings.append(known);
    }
}

void EventRecorder::setModeThresholds(const ModeDetector::Thresholds &thresholds)
{
    m_thresholds = thresholds;
    m_modes.clear();
}

void EventRecorder::resetModes()
{
    for (ModeDetector &mode : m_modes)
        mode.reset();
}

void EventRecorder::start(Source source, const QDateTime &wallStart)
{
    m_startMs = nowMs();
    if (wallStart.isValid()) {
        m_wallStart = wallStart;
    } else {
        const auto msOfDay = static_cast<int>(platform::clock().timeOfDaySec() * 1000.0);
        m_wallStart = QDateTime(QDate::currentDate(), QTime::fromMSecsSinceStartOfDay(msOfDay));
    }
    m_events.clear();
    m_running = true;
    // The mode at the start is put down as soon as the readings show it.
    resetModes();
    add(Kind::RecordingStart, -1, source, QStringLiteral("recording started"), m_startMs);
}

void EventRecorder::stop(Source source)
{
    if (!m_running)
        return;
    add(Kind::RecordingStop, -1, source, QStringLiteral("recording stopped"), nowMs());
    m_running = false;
}

void EventRecorder::clear()
{
    m_events.clear();
    m_pending.clear();
}

qint64 EventRecorder::elapsedMs() const
{
    return m_running ? nowMs() - m_startMs : 0;
}

bool EventRecorder::mark(const QString &text, Source source)
{
    return note(Kind::Mark, -1, source, text);
}

bool EventRecorder::note(Kind kind, int channel, Source source, const QString &text,
                         std::optional<qint64> atMonotonicMs)
{
    // A link reported lost or back from elsewhere (a reconnection with
    // words of its own) stands for the instrument's report of it.
    if (kind == Kind::LinkLost) {
        m_linkDown = true;
        resetModes();
    } else if (kind == Kind::LinkBack) {
        m_linkDown = false;
    }
    if (!m_running)
        return false;
    add(kind, channel, source, text, atMonotonicMs.value_or(nowMs()));
    return true;
}

QList<RecordEvent> EventRecorder::takeSinceLastCall()
{
    return std::exchange(m_pending, {});
}

void EventRecorder::add(Kind kind, int channel, Source source, const QString &text, qint64 atMonotonicMs)
{
    RecordEvent event;
    // A reading taken just before the start counts as at the start.
    event.atMs = qMax<qint64>(0, atMonotonicMs - m_startMs);
    event.at = m_wallStart.addMSecs(event.atMs);
    event.kind = kind;
    event.channel = channel;
    event.source = source;
    event.text = text;
    m_events.append(event);
    m_pending.append(event);
    if (m_pending.size() > PendingLimit)
        m_pending.remove(0, m_pending.size() - PendingLimit);
    emit eventAdded(event);
}

void EventRecorder::onSetting(int channel, ChannelSetting setting, ChangeSource source)
{
    if (!m_instrument || channel < 0)
        return;
    if (channel >= m_settings.size())
        m_settings.resize(channel + 1);
    std::optional<double> &known = m_settings[channel].at(static_cast<std::size_t>(setting));
    const std::optional<double> old = known;
    const std::optional<double> now = settingValue(m_instrument->channel(channel), setting);
    known = now;
    if (!now || old == now)
        return;
    // Polling learning a value for the first time is no change.
    if (!old && source == ChangeSource::Instrument)
        return;
    note(Kind::SetValue, channel, by(source), setValueText(channel, setting, old, *now));
}

void EventRecorder::onOutput(bool on, ChangeSource source)
{
    const std::optional<bool> was = m_output;
    m_output = on;
    if (!on)
        resetModes();
    // The same state learnt again (after a new connection) is no change.
    if (was == on)
        return;
    if (on)
        note(Kind::OutputOn, -1, by(source), QStringLiteral("output on"));
    else if (source == ChangeSource::Instrument && was == true)
        note(Kind::OutputOffByInstrument, -1, by(source), QStringLiteral("output switched off by the instrument"));
    else
        note(Kind::OutputOff, -1, by(source), QStringLiteral("output off"));
}

void EventRecorder::onCoupling(Coupling coupling, ChangeSource source)
{
    if (std::exchange(m_coupling, coupling) != coupling)
        note(Kind::Coupling, -1, by(source), QStringLiteral("coupling ") + couplingName(coupling));
}

void EventRecorder::onMemory(int memory, ChangeSource source)
{
    // Changes sent through the model tell whether they recalled
    // (onRecalled); a save is none. One seen by polling was made at the
    // instrument's front panel.
    if (std::exchange(m_memory, memory) != memory && source == ChangeSource::Instrument)
        note(Kind::MemoryRecall, -1, by(source), QStringLiteral("memory %1").arg(memory));
}

void EventRecorder::onRecalled(int memory, ChangeSource source)
{
    note(Kind::MemoryRecall, -1, by(source), QStringLiteral("memory %1").arg(memory));
}

void EventRecorder::onError(const QString &text, ChangeSource source)
{
    // The error queue read empty ("0,No error") is no event.
    if (!text.trimmed().isEmpty() && IsErrorReply(text))
        note(Kind::InstrumentError, -1, by(source), text.trimmed());
}

void EventRecorder::onReading(int channel, bool current)
{
    if (!m_running || !current || !m_instrument || channel < 0 || m_output == false)
        return;
    const ChannelState &state = m_instrument->channel(channel);
    if (!state.current || !state.setCurrent)
        return;
    while (m_modes.size() <= channel)
        m_modes.append(ModeDetector(m_thresholds));
    const std::optional<ModeDetector::Mode> mode = m_modes[channel].feed(*state.setCurrent, state.current->value);
    if (!mode)
        return;
    const bool cc = *mode == ModeDetector::Mode::ConstantCurrent;
    const QString text =
        RecordEvent::channelLabel(channel) +
        (cc ? QStringLiteral(" constant current") : QStringLiteral(" constant voltage")) +
        QStringLiteral(" (%1 A, set %2 A)").arg(number(state.current->value), number(*state.setCurrent));
    note(cc ? Kind::ConstantCurrent : Kind::ConstantVoltage, channel, Source::Instrument, text, state.current->atMs);
}

void EventRecorder::onLinkLost(const QString &cause)
{
    // One event an outage, however often the link is found gone meanwhile.
    if (m_linkDown)
        return;
    note(Kind::LinkLost, -1, Source::Program,
         cause.isEmpty() ? QStringLiteral("link lost") : QStringLiteral("link lost: ") + cause);
}

void EventRecorder::onState(ConnectionState state)
{
    if (state != ConnectionState::Running || !m_linkDown)
        return;
    note(Kind::LinkBack, -1, Source::Program, QStringLiteral("link back"));
}

QString EventRecorder::couplingName(Coupling coupling)
{
    switch (coupling) {
    case Coupling::Independent:
        return QStringLiteral("independent");
    case Coupling::Parallel:
        return QStringLiteral("parallel");
    case Coupling::Track:
        break;
    }
    return QStringLiteral("track");
}

QString EventRecorder::number(double value)
{
    return QString::number(value, 'g', 12);
}

QString EventRecorder::setValueText(int channel, ChannelSetting setting, std::optional<double> oldValue,
                                    double newValue)
{
    const QString head =
        RecordEvent::channelLabel(channel) + QLatin1Char(' ') + settingName(setting) + QLatin1Char(' ');
    if (setting == ChannelSetting::OverCurrent) {
        const auto onOff = [](double v) { return v != 0 ? QStringLiteral("on") : QStringLiteral("off"); };
        return head + (oldValue ? onOff(*oldValue) + QLatin1Char(' ') : QString()) + QStringLiteral("→ ") +
               onOff(newValue);
    }
    const QString unit = setting == ChannelSetting::Current ? QStringLiteral(" A") : QStringLiteral(" V");
    return head + (oldValue ? number(*oldValue) + QLatin1Char(' ') : QString()) + QStringLiteral("→ ") +
           number(newValue) + unit;
}

} // namespace qle
