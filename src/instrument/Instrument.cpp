#include "Instrument.h"

#include "comm/GpibDevice.h"
#include "platform/Clock.h"
#include "platform/FormatPattern.h"
#include "platform/Platform.h"
#include "platform/Trace.h"
#include "protocol/Catalogue.h"
#include "protocol/ParseMachineType.h"
#include "protocol/ReplyReaders.h"

#include <QPointer>

#include <utility>

namespace qle {
namespace {

// Where the engine delivers one reply by name; it passes the reply on and
// goes. A reset of the engine drops the reply: the instrument's time-out
// or loss handling then answers the operation.
class ReplySink final : public QObject {
    Q_OBJECT
public:
    ReplySink(std::function<void(const QString &)> take, OutcomeHandler lost, QObject *parent)
        : QObject(parent), m_take(std::move(take)), m_lost(std::move(lost))
    {
    }

    // The link was lost before the reply came.
    void fail(const Outcome &outcome)
    {
        const auto lost = std::move(m_lost);
        m_take = nullptr;
        deleteLater();
        if (lost)
            lost(outcome);
    }

public slots:
    void take(const QString &reply)
    {
        const auto take = std::move(m_take);
        m_lost = nullptr;
        deleteLater();
        if (take)
            take(reply);
    }

private:
    std::function<void(const QString &)> m_take;
    OutcomeHandler m_lost;
};

// Takes `value`; false when it was known already.
template <typename T> bool replace(std::optional<T> &known, const T &value)
{
    if (known == value)
        return false;
    known = value;
    return true;
}

qint64 nowMs()
{
    return static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
}

int field(ChannelSetting setting)
{
    switch (setting) {
    case ChannelSetting::Voltage:
        return FieldVoltage;
    case ChannelSetting::Current:
        return FieldCurrent;
    case ChannelSetting::OverVoltage:
        return FieldOvp;
    case ChannelSetting::OverCurrent:
        break;
    }
    return -1;
}

std::optional<double> &slot(ChannelState &state, ChannelSetting setting)
{
    static std::optional<double> none;
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
    none.reset();
    return none;
}

} // namespace

Instrument::Instrument(QObject *parent)
    : QObject(parent), m_ownEngine(std::make_unique<CommTasker>()), m_engine(m_ownEngine.get())
{
    m_engine->setHost(this);
    m_engine->SetupTimeoutTask(this, "onTimeout");
    m_commands.LoadScpiCommands();
}

Instrument::Instrument(CommTasker &engine, QObject *parent) : QObject(parent), m_engine(&engine)
{
    m_commands.LoadScpiCommands();
}

void Instrument::onTimeout()
{
    const QString cause = m_engine->linkLostCause();
    m_linkLossCause = cause;
    const Outcome lost{Outcome::Kind::LinkLost,
                       cause.isEmpty() ? QStringLiteral("no reply within %1 s").arg(m_engine->responseTimeoutSec())
                                       : cause};
    // The engine resets after this routine: every reply awaited is gone.
    for (ReplySink *sink : findChildren<ReplySink *>(Qt::FindDirectChildrenOnly))
        sink->fail(lost);
    m_engine->linkGivenUp();
    setState(ConnectionState::Idle);
    emit linkLost(lost.text);
    // The routine is taken on each use: the next link gets it back. An
    // engine of the owner's has the owner's routine, which calls this one.
    if (m_ownEngine)
        QMetaObject::invokeMethod(
            this, [this] { m_engine->SetupTimeoutTask(this, "onTimeout"); }, Qt::QueuedConnection);
}

Instrument::~Instrument()
{
    if (!m_ownEngine)
        return;
    m_engine->setHost(nullptr);
    m_engine->setGpibDevice(nullptr);
}

void Instrument::open(const LinkOptions &link, const ISettingsStore &settings,
                      const std::function<void(const QString &)> &done)
{
    m_link = link;
    forget();
    openInstrumentLink(*m_engine, link, settings, m_gpib, done);
}

void Instrument::reopen(const ISettingsStore &settings, const std::function<void(const QString &)> &done)
{
    openInstrumentLink(*m_engine, m_link, settings, m_gpib, done);
}

void Instrument::ReportStatus(const QString &msg, int)
{
    emit statusReported(msg);
}

void Instrument::setState(ConnectionState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Instrument::useModel(const QString &model, const CatalogueLookup &catalogue)
{
    m_model = model;
    m_catalogue = catalogue;
    m_family = familyFor(model);
    if (m_family == CommandFamily::Legacy)
        m_commands.LoadLegacyCommands();
    else
        m_commands.LoadScpiCommands();
    const CatalogueRow *row = catalogue ? catalogue(model) : nullptr;
    m_layout = row ? row->layout() : 0;
    m_channels = QList<ChannelState>(row ? ChannelCountOfLayout(m_layout) : 0);
    emit modelChanged(m_model);
}

void Instrument::identify(const CatalogueLookup &catalogue, const OutcomeHandler &done)
{
    setState(ConnectionState::Identifying);
    const bool asked = ask(
        m_commands.IdnCommand,
        [this, catalogue, done](const QString &reply) {
            m_identity = reply;
            const QString model = ParseMachineType(reply).trimmed();
            if (model.isEmpty() || !catalogue || !catalogue(model)) {
                setState(ConnectionState::Idle);
                done(Outcome::refused("unknown model: \"" + model + "\" (reply \"" + reply + "\")"));
                return;
            }
            useModel(model, catalogue);
            setState(ConnectionState::Running);
            done(Outcome::ok(model));
        },
        done);
    if (!asked) {
        setState(ConnectionState::Idle);
        done(Outcome{Outcome::Kind::LinkLost, QStringLiteral("link lost")});
    }
}

void Instrument::askIdentity(const OutcomeHandler &done)
{
    if (!ask(
            m_commands.IdnCommand, [done](const QString &reply) { done(Outcome::ok(reply)); }, done))
        done({Outcome::Kind::LinkLost, QStringLiteral("the engine refused the query")});
}

const CatalogueRow *Instrument::channelRow(int channel) const
{
    if (!m_catalogue)
        return nullptr;
    return ChannelCatalogueRow(m_catalogue, m_model, channel);
}

std::optional<Instrument::Range> Instrument::range(int channel, ChannelSetting setting) const
{
    const CatalogueRow *row = channel >= 0 && channel < channelCount() ? channelRow(channel) : nullptr;
    // The protections are settings of the colon family only; over-current
    // protection is a switch, 0 off and 1 on.
    if (!row ||
        (setting != ChannelSetting::Voltage && setting != ChannelSetting::Current && m_family == CommandFamily::Legacy))
        return std::nullopt;
    if (setting == ChannelSetting::OverCurrent)
        return Range{0, 1};
    return Range{0, row->maximum(field(setting))};
}

std::optional<QString> Instrument::whyNot(int channel, ChannelSetting setting, double value) const
{
    if (channel < 0 || channel >= channelCount())
        return QStringLiteral("no such channel");
    const std::optional<Range> limits = range(channel, setting);
    if (!limits)
        return QStringLiteral("no such setting");
    if (isLocked(channel, setting))
        return QStringLiteral("field locked");
    if (setting == ChannelSetting::OverCurrent && value != 0 && value != 1)
        return QStringLiteral("on or off");
    if (!(value >= limits->minimum && value <= limits->maximum))
        return QStringLiteral("out of range %1 to %2").arg(limits->minimum).arg(limits->maximum);
    return std::nullopt;
}

bool Instrument::isLocked(int channel, ChannelSetting setting) const
{
    if (m_autoRun.value_or(false))
        return true;
    // The legacy panel follows with its second channel, the others with the first.
    const int follower = m_layout == 3 ? 1 : 0;
    if (!m_coupling || *m_coupling == Coupling::Independent || channel != follower)
        return false;
    if (*m_coupling == Coupling::Track)
        return setting == ChannelSetting::Voltage || (m_layout != 3 && setting == ChannelSetting::OverVoltage);
    return setting != ChannelSetting::OverCurrent || m_layout == 1;
}

QString Instrument::settingText(int channel, ChannelSetting setting) const
{
    const CatalogueRow *row = channel >= 0 && channel < channelCount() ? channelRow(channel) : nullptr;
    const int column = field(setting);
    if (!row || column < 0)
        return {};
    const ChannelState &state = m_channels.at(channel);
    const std::optional<double> value = setting == ChannelSetting::Voltage   ? state.setVoltage
                                        : setting == ChannelSetting::Current ? state.setCurrent
                                                                             : state.overVoltage;
    return value ? FormatPattern(*value, row->pattern(column)) : QString();
}

const ChannelState &Instrument::channel(int index) const
{
    static const ChannelState none;
    return index >= 0 && index < channelCount() ? m_channels.at(index) : none;
}

void Instrument::forget()
{
    for (ChannelState &state : m_channels)
        state = {};
    m_output.reset();
    m_coupling.reset();
    m_autoRun.reset();
    m_memory.reset();
    m_lastError.clear();
}

void Instrument::noteSetting(int channel, ChannelSetting setting, double value, ChangeSource source)
{
    if (channel < 0 || channel >= channelCount())
        return;
    std::optional<double> &known = slot(m_channels[channel], setting);
    if (setting == ChannelSetting::OverCurrent) {
        std::optional<bool> &protection = m_channels[channel].overCurrentProtection;
        if (protection == (value != 0))
            return;
        protection = value != 0;
    } else {
        if (known == value)
            return;
        known = value;
    }
    emit settingChanged(channel, setting, source);
}

void Instrument::noteReading(int channel, bool current, const QString &text, ChangeSource)
{
    if (channel < 0 || channel >= channelCount())
        return;
    bool ok = false;
    const double value = ReadNumber(
        m_family == CommandFamily::Legacy ? StripUnit(text.trimmed(), current ? u'A' : u'V') : text.trimmed(), &ok);
    std::optional<Reading> &reading = current ? m_channels[channel].current : m_channels[channel].voltage;
    if (!ok) {
        reading.reset();
    } else {
        reading = Reading{text.trimmed(), value, nowMs()};
    }
    emit readingChanged(channel, current);
}

void Instrument::noteOutput(bool on, ChangeSource source)
{
    if (!replace(m_output, on))
        return;
    emit outputChanged(on, source);
    // An output that is off has nothing to measure.
    if (on)
        return;
    for (int ch = 0; ch < channelCount(); ++ch) {
        m_channels[ch].voltage.reset();
        m_channels[ch].current.reset();
        emit readingChanged(ch, false);
        emit readingChanged(ch, true);
    }
}

void Instrument::noteCoupling(Coupling coupling, ChangeSource source)
{
    if (replace(m_coupling, coupling))
        emit couplingChanged(coupling, source);
}

void Instrument::noteAutoRun(bool on, ChangeSource source)
{
    if (replace(m_autoRun, on))
        emit autoRunChanged(on, source);
}

void Instrument::noteMemory(int memory, ChangeSource source)
{
    if (replace(m_memory, memory))
        emit memoryChanged(memory, source);
}

void Instrument::noteError(const QString &text, ChangeSource source)
{
    m_lastError = text;
    emit errorChanged(text, source);
}

std::optional<QString> Instrument::cannotSend() const
{
    if (m_engine->isLinkGivenUp())
        return QStringLiteral("link lost");
    if (m_engine->IsRejectAnyTask)
        return QStringLiteral("no instrument: nothing is sent in testing mode");
    if (m_state != ConnectionState::Running)
        return QStringLiteral("not connected");
    return std::nullopt;
}

bool Instrument::ask(const QString &query, std::function<void(const QString &)> take, OutcomeHandler lost,
                     bool errorsOfCommand)
{
    auto *sink = new ReplySink(std::move(take), std::move(lost), this);
    const bool queued = errorsOfCommand ? readErrorsAfterCommand(*m_engine, query, sink, "take")
                                        : m_engine->ExecQueryTask(query, 5, sink, "take", 1, false);
    if (queued)
        return true;
    delete sink;
    return false;
}

void Instrument::sendCommand(const QString &command, const OutcomeHandler &done, const std::function<void()> &applied,
                             ErrorCheck check)
{
    if (const std::optional<QString> why = cannotSend()) {
        done({*why == QLatin1String("link lost") ? Outcome::Kind::LinkLost : Outcome::Kind::Refused, *why});
        return;
    }
    const quint64 before = m_engine->commandsQueued();
    m_engine->ExecCmdTask(command, 0, nullptr, QString(), 1, false);
    if (m_engine->commandsQueued() == before) {
        done({Outcome::Kind::LinkLost, QStringLiteral("the engine refused the command")});
        return;
    }
    if (applied)
        applied();
    if (m_family != CommandFamily::Colon || check == ErrorCheck::ByPolling) {
        done(Outcome::ok());
        return;
    }
    // The command's own error is told here, never to polling.
    const bool asked = ask(
        m_commands.query(query::Error),
        [this, done](const QString &reply) {
            if (IsErrorReply(reply)) {
                noteError(reply.trimmed());
                done({Outcome::Kind::InstrumentError, reply.trimmed()});
                return;
            }
            done(Outcome::ok());
        },
        done, true);
    if (!asked)
        done({Outcome::Kind::LinkLost, QStringLiteral("the engine refused the error query")});
}

void Instrument::setChannel(int channel, ChannelSetting setting, double value, ChangeSource source, OutcomeHandler done,
                            ErrorCheck check)
{
    if (const std::optional<QString> why = whyNot(channel, setting, value)) {
        done(Outcome::refused(*why));
        return;
    }
    // Over-current protection is a switch: 1 on, 0 off.
    const QString text =
        setting == ChannelSetting::OverCurrent ? QString(value != 0 ? u'1' : u'0') : SetValueText(m_layout, value);
    const QString command = ChannelCommand(m_family, channel + 1, setting, text);
    sendCommand(
        command, std::move(done), [=, this] { noteSetting(channel, setting, value, source); }, check);
}

void Instrument::setOutput(bool on, ChangeSource source, OutcomeHandler done, ErrorCheck check)
{
    sendCommand(
        OutputCommand(m_family, on), std::move(done), [=, this] { noteOutput(on, source); }, check);
}

void Instrument::setCoupling(Coupling coupling, ChangeSource source, OutcomeHandler done, ErrorCheck check)
{
    if (m_layout == 2) {
        done(Outcome::refused(QStringLiteral("one output: no coupling")));
        return;
    }
    sendCommand(
        CouplingCommand(m_family, coupling), std::move(done), [=, this] { noteCoupling(coupling, source); }, check);
}

std::optional<QString> Instrument::whyNoMemory(int memory) const
{
    if (m_layout == 2)
        return QStringLiteral("no memories");
    if (memory < FirstMemory || memory > LastMemory)
        return QStringLiteral("memory %1 to %2").arg(FirstMemory).arg(LastMemory);
    return std::nullopt;
}

void Instrument::saveMemory(int memory, ChangeSource source, OutcomeHandler done, ErrorCheck check)
{
    if (const std::optional<QString> why = whyNoMemory(memory)) {
        done(Outcome::refused(*why));
        return;
    }
    sendCommand(
        SaveMemoryCommand(m_family, memory), std::move(done), [=, this] { noteMemory(memory, source); }, check);
}

void Instrument::recallMemory(int memory, ChangeSource source, OutcomeHandler done, ErrorCheck check)
{
    if (const std::optional<QString> why = whyNoMemory(memory)) {
        done(Outcome::refused(*why));
        return;
    }
    sendCommand(
        RecallMemoryCommand(m_family, memory), std::move(done),
        [=, this] {
            noteMemory(memory, source);
            emit memoryRecalled(memory, source);
        },
        check);
}

void Instrument::measure(int channel, const OutcomeHandler &done)
{
    if (channel < 0 || channel >= channelCount() || channel > 2) {
        done(Outcome::refused(QStringLiteral("no such channel")));
        return;
    }
    if (const std::optional<QString> why = cannotSend()) {
        done({Outcome::Kind::LinkLost, *why});
        return;
    }
    const bool asked = ask(m_commands.query(query::MeasVolt1 + 2 * channel),
                           [this, channel](const QString &reply) { noteReading(channel, false, reply); }, {}) &&
                       ask(
                           m_commands.query(query::MeasCurr1 + 2 * channel),
                           [this, channel, done](const QString &reply) {
                               noteReading(channel, true, reply);
                               done(Outcome::ok());
                           },
                           done);
    if (!asked)
        done({Outcome::Kind::LinkLost, QStringLiteral("the engine refused the query")});
}

void Instrument::sendLine(const QString &line, ChangeSource, OutcomeHandler done)
{
    if (const std::optional<QString> why = cannotSend()) {
        done({Outcome::Kind::LinkLost, *why});
        return;
    }
    if (line.endsWith(u'?')) {
        if (!ask(
                line, [done](const QString &reply) { done(Outcome::ok(reply)); }, done))
            done({Outcome::Kind::LinkLost, QStringLiteral("the engine refused the query")});
        return;
    }
    sendCommand(line, std::move(done), {});
}

} // namespace qle

#include "Instrument.moc"
