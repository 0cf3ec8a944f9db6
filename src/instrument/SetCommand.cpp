#include "SetCommand.h"

#include <QLocale>
#include <QStringList>

#include <cmath>
#include <optional>

namespace qle {
namespace {

// Numbers with a point, whatever the locale.
std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> integer(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::variant<SetCommand, QString> readSetting(ChannelSetting setting, const QString &arguments, int channelCount)
{
    // The channel is read before the value: "VOLT 9,x" has no channel 9.
    const QStringList parts = arguments.split(u',');
    const std::optional<int> channel = integer(parts.value(0));
    if (!channel || *channel < 1 || *channel > channelCount)
        return QStringLiteral("ERR no such channel");
    const std::optional<double> value = parts.size() == 2 ? number(parts.at(1)) : std::nullopt;
    if (!value)
        return QStringLiteral("ERR not a number");
    SetCommand command;
    command.kind = SetCommand::Kind::Setting;
    command.channel = *channel - 1;
    command.setting = setting;
    command.value = *value;
    return command;
}

std::variant<SetCommand, QString> readOutput(const QString &arguments)
{
    const QString state = arguments.toUpper();
    if (state != u"ON" && state != u"OFF" && state != u"1" && state != u"0")
        return QStringLiteral("ERR expected ON or OFF");
    SetCommand command;
    command.kind = SetCommand::Kind::Output;
    command.on = state == u"ON" || state == u"1";
    return command;
}

std::variant<SetCommand, QString> readCoupling(const QString &arguments)
{
    const QString mode = arguments.toUpper();
    SetCommand command;
    command.kind = SetCommand::Kind::Coupling;
    if (mode == u"INDEP")
        command.coupling = Coupling::Independent;
    else if (mode == u"TRACK")
        command.coupling = Coupling::Track;
    else if (mode == u"PAR")
        command.coupling = Coupling::Parallel;
    else
        return QStringLiteral("ERR expected INDEP, TRACK or PAR");
    return command;
}

} // namespace

QString SetCommand::wordOf(const QString &line)
{
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    return (space < 0 ? trimmed : trimmed.left(space)).toUpper();
}

bool SetCommand::isSetWord(const QString &word)
{
    return namesChannel(word) || word == u"OUTP" || word == u"COUP";
}

bool SetCommand::namesChannel(const QString &word)
{
    return word == u"VOLT" || word == u"CURR" || word == u"OVP";
}

std::variant<SetCommand, QString> SetCommand::parse(const QString &line, int channelCount)
{
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    const QString word = wordOf(trimmed);
    const QString arguments = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
    if (word == u"VOLT")
        return readSetting(ChannelSetting::Voltage, arguments, channelCount);
    if (word == u"CURR")
        return readSetting(ChannelSetting::Current, arguments, channelCount);
    if (word == u"OVP")
        return readSetting(ChannelSetting::OverVoltage, arguments, channelCount);
    if (word == u"OUTP")
        return readOutput(arguments);
    if (word == u"COUP")
        return readCoupling(arguments);
    return QStringLiteral("ERR not a set command");
}

void SetCommand::apply(Instrument &instrument, OutcomeHandler done) const
{
    switch (kind) {
    case Kind::Setting:
        instrument.setChannel(channel, setting, value, ChangeSource::Script, std::move(done));
        return;
    case Kind::Output:
        instrument.setOutput(on, ChangeSource::Script, std::move(done));
        return;
    case Kind::Coupling:
        break;
    }
    // Layout 2 is the one-output panel.
    if (instrument.layout() == 2) {
        done(Outcome::refused(QStringLiteral("no coupling on this model")));
        return;
    }
    if (instrument.autoRun().value_or(false)) {
        done(Outcome::refused(QStringLiteral("coupling locked")));
        return;
    }
    instrument.setCoupling(coupling, ChangeSource::Script, std::move(done));
}

QString SetCommand::replyTo(const Outcome &outcome)
{
    switch (outcome.kind) {
    case Outcome::Kind::Done:
        return QStringLiteral("OK");
    case Outcome::Kind::Refused:
        return QStringLiteral("ERR ") + outcome.text;
    case Outcome::Kind::InstrumentError:
        return QStringLiteral("ERR instrument: ") + outcome.text;
    case Outcome::Kind::LinkLost:
        break;
    }
    return QStringLiteral("ERR link lost");
}

} // namespace qle
