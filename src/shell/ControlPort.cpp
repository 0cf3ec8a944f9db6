#include "ControlPort.h"

#include "comm/CommTasker.h"
#include "instrument/Instrument.h"
#include "instrument/SetCommand.h"
#include "MDIForm1.h"
#include "panels/Panel.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "protocol/ReplyReaders.h"
#include "recording/table/frmDataTable.h"

#include <QCoreApplication>

#include <variant>

namespace qle {

// Stands in for the message boxes while a port command runs: what would
// have been shown is kept for the reply, and each question gets the answer
// the command chose (by default the one that changes nothing).
namespace {

constexpr int ConnectedState = 3;
constexpr int ConnectLimitMs = 30000;
const QString Ok = QStringLiteral("OK");

QString unquoted(const QString &text)
{
    QString trimmed = text.trimmed();
    if (trimmed.size() >= 2 && trimmed.startsWith(u'"') && trimmed.endsWith(u'"'))
        return trimmed.mid(1, trimmed.size() - 2);
    return trimmed;
}

std::optional<int> integer(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

ControlPort::ControlPort(MDIForm1 &window, QObject *parent) : QObject(parent), m_window(window)
{
    connect(&m_server, &LineServer::lineReceived, this, &ControlPort::onLine);
    // A client that leaves mid-command takes nothing with it: the command
    // goes on, its reply is dropped.
    connect(&m_server, &LineServer::clientGone, this, [this] { m_rawReply.clear(); });
    connect(&m_server, &LineServer::clientActive, &m_watchdog, &ControlWatchdog::activity);
    connect(&m_server, &LineServer::clientLeft, &m_watchdog, &ControlWatchdog::clientLeft);
    connect(&m_watchdog, &ControlWatchdog::tripped, this, &ControlPort::watchdogTripped);
    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (m_done && m_done())
            finish(m_doneReply());
    });
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] { finish("ERR " + m_timeoutText); });
}

ControlPort::~ControlPort() = default;

bool ControlPort::listen(quint16 port)
{
    return m_server.listen(port);
}

void ControlPort::onLine(const QString &line)
{
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    const QString word = (space < 0 ? trimmed : trimmed.left(space)).toUpper();
    const QString arguments = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
    const Outcome outcome = run(word, arguments);
    if (!outcome.deferred)
        finish(outcome.reply);
}

void ControlPort::finish(const QString &reply)
{
    // An operation's late answer no longer belongs to any line.
    ++m_modelCall;
    m_poll.stop();
    m_limit.stop();
    m_done = nullptr;
    m_doneReply = nullptr;
    m_awaitingRaw = false;
    m_server.reply(reply);
}

ControlPort::Outcome ControlPort::waitUntil(std::function<bool()> done, std::function<QString()> reply, int limitMs,
                                            const QString &timeoutText)
{
    m_done = std::move(done);
    m_doneReply = std::move(reply);
    m_timeoutText = timeoutText;
    m_poll.start();
    m_limit.start(limitMs);
    return {{}, true};
}

bool ControlPort::linkLost() const
{
    return m_window.engine().isLinkGivenUp();
}

// A panel runs on a live link: while a lost link is being reported (its box
// waits for OK) nothing reaches the instrument, and the port says so.
bool ControlPort::running() const
{
    return m_window.MainFormState == ConnectedState && !linkLost();
}

QString ControlPort::notRunningError() const
{
    return m_window.MainFormState == ConnectedState && linkLost() ? QStringLiteral("ERR link lost")
                                                                  : QStringLiteral("ERR no panel");
}

int ControlPort::channelArgument(const QString &text, QString *error) const
{
    const Panel *panel = m_window.currentPanel();
    const std::optional<int> channel = integer(text);
    if (!panel || !running()) {
        *error = notRunningError();
        return -1;
    }
    if (!channel || *channel < 1 || *channel > panel->channelCount()) {
        *error = "ERR no such channel";
        return -1;
    }
    return *channel - 1;
}

ControlPort::Outcome ControlPort::run(const QString &word, const QString &arguments)
{
    if (word == "*IDN?") {
        const QString model = running() ? m_window.MachineType : QString();
        return {"QLE," + QCoreApplication::applicationVersion() + "," + (model.isEmpty() ? "NONE" : model)};
    }
    if (word == "CONN")
        return connectAgain();
    if (word == "DISC") {
        m_window.ResetAll();
        return {Ok};
    }
    if (word == "STAT?")
        return {QString::number(linkLost() ? 0 : m_window.MainFormState)};
    if (word == "CHAN?") {
        const Panel *panel = m_window.currentPanel();
        if (!panel || !running())
            return {notRunningError()};
        return {QString::number(panel->channelCount())};
    }
    if (word == "MEAS:VOLT?" || word == "MEAS:CURR?")
        return measure(word == "MEAS:CURR?", arguments);
    if (word == "MEAS:POW?")
        return measurePower(arguments);
    if (word == "EVT?")
        return {eventsSinceLastCall()};
    if (word == "WDOG")
        return {setWatchdog(arguments)};
    if (SetCommand::isSetWord(word))
        return setCommand(word, arguments);
    if (word == "VOLT?")
        return readSetting(ChannelSetting::Voltage, arguments);
    if (word == "CURR?")
        return readSetting(ChannelSetting::Current, arguments);
    if (word == "OUTP?") {
        if (!running())
            return {notRunningError()};
        return {m_window.model().output().value_or(false) ? "ON" : "OFF"};
    }
    if (word == "REC:SETUP")
        return setupRecording(arguments);
    if (word == "REC:STAR" || word == "REC:START")
        return startRecording(arguments);
    if (word == "REC:STOP") {
        m_window.mnuRecordStop_Click();
        return {Ok};
    }
    if (word == "REC:STAT?") {
        const frmDataTable *table = m_window.tableRecorder();
        if (!table)
            return {"ERR no panel"};
        return {QStringLiteral("%1,%2").arg(table->isRecording() ? 1 : 0).arg(table->iCurrentRow)};
    }
    if (word == "REC:SAVE")
        return saveRecording(arguments);
    if (word == "REC:LOAD")
        return loadRecording(arguments);
    if (word == "SEND")
        return sendRaw(arguments);
    if (word.startsWith("SEQ:"))
        return sequenceCommand(word, unquoted(arguments));
    return {"ERR unknown command"};
}

// The link and model of the last connection, without dialogs, as the
// on-line toolbar button does; the reply waits for the panel.
ControlPort::Outcome ControlPort::connectAgain()
{
    if (m_window.MainFormState == 1)
        return {"ERR connecting already"};
    if (m_window.MainFormState >= 2)
        return {"ERR already connected"};
    if (!m_window.connectRemembered())
        return {"ERR no link remembered"};
    return waitUntil([this] { return m_window.MainFormState == ConnectedState || m_window.MainFormState == 0; },
                     [this] {
                         if (m_window.MainFormState == ConnectedState)
                             return Ok + " " + m_window.MachineType;
                         const QString why = m_window.connectionFailure();
                         return why.isEmpty() ? QStringLiteral("ERR connection failed") : "ERR " + why;
                     },
                     ConnectLimitMs, "connection timed out");
}

// VOLT, CURR, OVP, OUTP and COUP go to the instrument's model, which checks
// them, sends the panel's own command and tells how it went; the panel
// follows the model. Without a panel a channel's value is refused before its
// text is read; OUTP and COUP read their word first.
ControlPort::Outcome ControlPort::setCommand(const QString &word, const QString &arguments)
{
    const Panel *panel = m_window.currentPanel();
    const bool namesChannel = SetCommand::namesChannel(word);
    if (namesChannel && (!panel || !running()))
        return {notRunningError()};
    const auto parsed = SetCommand::parse(word + u' ' + arguments, namesChannel ? panel->channelCount() : 0);
    if (const QString *refusal = std::get_if<QString>(&parsed))
        return {*refusal};
    if (!running())
        return {notRunningError()};
    Instrument &model = m_window.model();
    const SetCommand command = std::get<SetCommand>(parsed);
    return byModel([&model, command](OutcomeHandler done) { command.apply(model, std::move(done)); });
}

ControlPort::Outcome ControlPort::byModel(const std::function<void(OutcomeHandler)> &operation)
{
    const quint64 call = ++m_modelCall;
    // Whether the operation has returned, and what it answered before that.
    auto answered = std::make_shared<std::pair<bool, std::optional<QString>>>();
    operation([this, call, answered](const qle::Outcome &outcome) {
        const QString reply = SetCommand::replyTo(outcome);
        if (!answered->first)
            answered->second = reply;
        else if (call == m_modelCall)
            finish(reply);
    });
    answered->first = true;
    if (answered->second)
        return {*answered->second};
    m_timeoutText = QStringLiteral("no reply");
    m_limit.start(rawReplyLimitMs(m_window.engine()));
    return {{}, true};
}

ControlPort::Outcome ControlPort::readSetting(ChannelSetting setting, const QString &arguments)
{
    QString error;
    const int channel = channelArgument(arguments, &error);
    if (channel < 0)
        return {error};
    const QString text = m_window.model().settingText(channel, setting);
    return {text.isEmpty() ? QStringLiteral("ERR not known") : text};
}

// The panel's last reading and how old it is.
ControlPort::Outcome ControlPort::measure(bool current, const QString &arguments)
{
    QString error;
    const int channel = channelArgument(arguments, &error);
    if (channel < 0)
        return {error};
    const ChannelState &state = m_window.model().channel(channel);
    const std::optional<Reading> &reading = current ? state.current : state.voltage;
    if (!reading)
        return {"ERR no reading"};
    return {reading->text + "," + ageText(reading->atMs)};
}

// Volts times amps of channel n's last readings, aged by the older one.
ControlPort::Outcome ControlPort::measurePower(const QString &arguments)
{
    QString error;
    const int channel = channelArgument(arguments, &error);
    if (channel < 0)
        return {error};
    const ChannelState &state = m_window.model().channel(channel);
    const QString power =
        state.voltage && state.current ? PowerText(state.voltage->text, state.current->text) : QString();
    if (power.isEmpty())
        return {"ERR no reading"};
    return {power + "," + ageText(std::min(state.voltage->atMs, state.current->atMs))};
}

QString ControlPort::ageText(qint64 atMs)
{
    const qint64 age = static_cast<qint64>(platform::clock().monotonicSec() * 1000.0) - atMs;
    return QString::number(std::max<qint64>(age, 0));
}

ControlPort::Outcome ControlPort::setupRecording(const QString &arguments)
{
    const QStringList parts = arguments.split(u',');
    std::array<int, 6> values{};
    if (parts.size() != 6)
        return {"ERR expected days,hours,minutes,seconds,scale,mode"};
    for (int i = 0; i < 6; ++i) {
        const std::optional<int> value = integer(parts.at(i));
        if (!value)
            return {"ERR not a number"};
        values.at(static_cast<std::size_t>(i)) = *value;
    }
    const QString refusal = m_window.setupRecording(values[0], values[1], values[2], values[3], values[4], values[5]);
    return {refusal.isEmpty() ? Ok : "ERR " + refusal};
}

ControlPort::Outcome ControlPort::startRecording(const QString &arguments)
{
    frmDataTable *table = m_window.tableRecorder();
    if (!table || !running())
        return {notRunningError()};
    if (table->isRecording())
        return {"ERR recording already"};
    const bool force = arguments.trimmed().compare("FORCE", Qt::CaseInsensitive) == 0;
    if (!force && !arguments.trimmed().isEmpty())
        return {"ERR expected nothing or FORCE"};
    if (table->CountRecordCount <= 0)
        return {"ERR Please Setup Record the period first."};
    const std::optional<QString> refusal =
        table->startRecording(force ? frmDataTable::UnsavedRows::Discard : frmDataTable::UnsavedRows::Keep);
    return {refusal ? "ERR " + *refusal : Ok};
}

frmDataTable *ControlPort::stoppedRecorder(QString *error) const
{
    frmDataTable *table = m_window.tableRecorder();
    if (!table)
        *error = "ERR no panel";
    else if (table->isRecording())
        *error = "ERR recording: stop it first";
    return error->isEmpty() ? table : nullptr;
}

ControlPort::Outcome ControlPort::saveRecording(const QString &arguments)
{
    QString error;
    frmDataTable *table = stoppedRecorder(&error);
    if (!table)
        return {error};
    const frmDataTable::Saved saved = table->saveRows(unquoted(arguments));
    return {saved.error.isEmpty() ? saved.recNo : "ERR " + saved.error};
}

ControlPort::Outcome ControlPort::loadRecording(const QString &arguments)
{
    QString error;
    frmDataTable *table = stoppedRecorder(&error);
    if (!table)
        return {error};
    const QString wanted = arguments.trimmed();
    if (!integer(wanted))
        return {"ERR not a number"};
    if (const std::optional<QString> refusal = table->loadRecord(wanted, frmDataTable::UnsavedRows::Keep))
        return {"ERR " + *refusal};
    return {QString::number(table->iCurrentRow)};
}

// A raw line for the instrument, through the engine's queue: a line ending
// in "?" waits for its reply.
ControlPort::Outcome ControlPort::sendRaw(const QString &arguments)
{
    const QString line = unquoted(arguments);
    if (line.isEmpty())
        return {"ERR nothing to send"};
    if (!running())
        return {notRunningError()};
    CommTasker &engine = m_window.engine();
    const bool query = line.endsWith(u'?');
    m_rawReply.clear();
    if (!sendRawLine(engine, line, this, "takeReply"))
        return {query ? "ERR the engine refused the query" : "ERR the engine refused the command"};
    // A command is followed by a read of the error queue, so a mistake is
    // answered here instead of switching the output off at the next poll.
    const QString errorQuery = query ? QString() : m_window.errorQueueQuery();
    if (!query && (errorQuery.isEmpty() || !readErrorsAfterCommand(engine, errorQuery, this, "takeReply")))
        return {Ok};
    m_awaitingRaw = true;
    const int limitMs = rawReplyLimitMs(engine);
    return waitUntil([this] { return !m_awaitingRaw || !running(); },
                     [this, query] {
                         if (m_awaitingRaw)
                             return QString("ERR link lost");
                         if (query)
                             return m_rawReply;
                         return IsErrorReply(m_rawReply) ? "ERR instrument: " + m_rawReply : Ok;
                     },
                     limitMs, "no reply");
}

void ControlPort::takeReply(const QString &reply)
{
    if (!m_awaitingRaw)
        return;
    m_rawReply = reply;
    m_awaitingRaw = false;
}

} // namespace qle
