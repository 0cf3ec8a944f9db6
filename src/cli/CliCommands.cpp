#include "CliCommands.h"

#include "instrument/Instrument.h"

#include "platform/FormatPattern.h"
#include "protocol/Catalogue.h"
#include "protocol/DeviceCommands.h"
#include "protocol/LegacyStatusWord.h"
#include "protocol/ParseMachineType.h"
#include "protocol/ReplyReaders.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace qle::cli {
namespace {

// Reads of the error queue to empty it before a command; more than an
// instrument keeps (16 on the colon family, as SCPI asks at least).
constexpr int MostQueuedErrors = 32;

bool fail(Failure *failure, Exit status, const QString &message)
{
    *failure = {status, message};
    return false;
}

std::optional<QString> ask(Context &context, int index, Failure *failure)
{
    QString error;
    const QString text = context.session.commands().query(index);
    std::optional<QString> reply = context.session.query(text, &error);
    if (!reply)
        fail(failure, LinkError, text + ": " + error);
    return reply;
}

bool send(Context &context, const QString &text, Failure *failure)
{
    // An instrument of the colon family reports a refused command in its
    // error queue. What it queued before (a raw line of an earlier run, a
    // front-panel mistake) is not this command's: the queue is read empty
    // first.
    const bool colon = context.session.family() == CommandFamily::Colon;
    for (int read = 0; colon; ++read) {
        if (read == MostQueuedErrors)
            return fail(failure, LinkError,
                        QStringLiteral("the instrument's error queue was not empty after %1 reads; \"%2\" was not sent")
                            .arg(MostQueuedErrors)
                            .arg(text));
        const std::optional<QString> earlier = ask(context, query::Error, failure);
        if (!earlier)
            return false;
        if (!IsErrorReply(*earlier))
            break;
    }
    QString error;
    if (!context.session.command(text, &error))
        return fail(failure, LinkError, text + ": " + error);
    if (!colon)
        return true;
    const std::optional<QString> queue = ask(context, query::Error, failure);
    if (!queue)
        return false;
    if (IsErrorReply(*queue))
        return fail(failure, LinkError, "the instrument refused \"" + text + "\": " + *queue);
    return true;
}

QString couplingName(std::optional<Coupling> coupling)
{
    if (!coupling)
        return QStringLiteral("unknown");
    switch (*coupling) {
    case Coupling::Independent:
        return QStringLiteral("indep");
    case Coupling::Parallel:
        return QStringLiteral("parallel");
    case Coupling::Track:
        return QStringLiteral("track");
    }
    return QStringLiteral("unknown");
}

// A reply as a number for the JSON form; not a number gives null.
QJsonValue number(const QString &text)
{
    bool ok = false;
    const double value = ReadNumber(text, &ok);
    return ok ? QJsonValue(value) : QJsonValue();
}

} // namespace

bool identify(Context &context, Identity *identity, Failure *failure)
{
    const Outcome outcome =
        context.session.identify([&](const QString &mtype) { return FindCatalogueRow(context.catalogue, mtype); });
    const Instrument &model = context.session.instrument();
    const QString reply = model.identity();
    const QStringList fields = reply.split(u',');
    identity->maker = fields.value(0).trimmed();
    identity->model = ParseMachineType(reply).trimmed();
    identity->serial = fields.value(2).trimmed();
    identity->firmware = fields.value(3).trimmed();
    if (outcome.kind == Outcome::Kind::LinkLost)
        return fail(failure, LinkError, "*IDN?: " + outcome.text);
    if (!outcome.done())
        return fail(failure, LinkError, outcome.text);
    identity->layout = model.layout();
    identity->channels = model.channelCount();
    return true;
}

bool runIdentify(Context &context, Failure *failure)
{
    Identity id;
    const bool known = identify(context, &id, failure);
    if (!known && id.model.isEmpty())
        return false;
    context.out << "Maker:    " << id.maker << '\n'
                << "Model:    " << id.model << '\n'
                << "Serial:   " << id.serial << '\n'
                << "Firmware: " << id.firmware << '\n';
    if (known)
        context.out << "Layout:   " << id.layout << '\n' << "Channels: " << id.channels << '\n';
    context.out.flush();
    return known;
}

bool readState(Context &context, const Identity &id, InstrumentState *state, Failure *failure)
{
    const bool legacy = context.session.family() == CommandFamily::Legacy;
    for (int ch = 0; ch < id.channels; ++ch) {
        ChannelReading r;
        const auto text = [&](int index, QString *into) {
            const std::optional<QString> reply = ask(context, index, failure);
            if (reply)
                *into = reply->trimmed();
            return reply.has_value();
        };
        if (!text(query::MeasVolt1 + 2 * ch, &r.volts) || !text(query::MeasCurr1 + 2 * ch, &r.amps) ||
            !text(query::SetVolt1 + ch, &r.setVolts) || !text(query::SetCurr1 + ch, &r.setAmps))
            return false;
        if (!legacy && !text(query::OvpLevel1 + ch, &r.ovp))
            return false;
        if (legacy) {
            r.volts = StripUnit(r.volts, u'V');
            r.amps = StripUnit(r.amps, u'A');
            r.setVolts = StripUnit(r.setVolts, u'V');
            r.setAmps = StripUnit(r.setAmps, u'A');
        }
        state->channels.append(r);
    }

    if (legacy) {
        const std::optional<QString> status = ask(context, query::LegacyStatus, failure);
        if (!status)
            return false;
        const LegacyStatusWord word = LegacyStatusWord::parse(*status);
        state->output = word.output;
        state->coupling = word.coupling;
        return true;
    }
    const std::optional<QString> output = ask(context, query::OutputState, failure);
    if (!output)
        return false;
    state->output = ReadSwitchState(*output);
    if (id.layout == 1) {
        const std::optional<QString> mode = ask(context, query::OutputMode, failure);
        if (!mode)
            return false;
        state->coupling = CouplingFromReply(mode->trimmed());
    }
    return true;
}

void noteSettings(Instrument &model, const InstrumentState &state)
{
    const auto note = [&model](int ch, ChannelSetting setting, const QString &text) {
        bool ok = false;
        const double value = ReadNumber(text, &ok);
        if (ok)
            model.noteSetting(ch, setting, value, ChangeSource::Instrument);
    };
    for (int ch = 0; ch < state.channels.size(); ++ch) {
        const ChannelReading &r = state.channels.at(ch);
        note(ch, ChannelSetting::Voltage, r.setVolts);
        note(ch, ChannelSetting::Current, r.setAmps);
        note(ch, ChannelSetting::OverVoltage, r.ovp);
    }
    if (state.output)
        model.noteOutput(*state.output, ChangeSource::Instrument);
    if (state.coupling)
        model.noteCoupling(*state.coupling, ChangeSource::Instrument);
}

bool runRead(Context &context, bool json, Failure *failure)
{
    Identity id;
    if (!identify(context, &id, failure))
        return false;
    const bool legacy = context.session.family() == CommandFamily::Legacy;
    InstrumentState state;
    if (!readState(context, id, &state, failure))
        return false;
    const QList<ChannelReading> &channels = state.channels;
    const std::optional<bool> output = state.output;
    const std::optional<Coupling> coupling = state.coupling;

    if (json) {
        QJsonArray list;
        for (int ch = 0; ch < channels.size(); ++ch) {
            const ChannelReading &r = channels.at(ch);
            QJsonObject o{{"channel", ch + 1},
                          {"voltage", number(r.volts)},
                          {"current", number(r.amps)},
                          {"power", number(PowerText(r.volts, r.amps))},
                          {"setVoltage", number(r.setVolts)},
                          {"setCurrent", number(r.setAmps)}};
            if (!legacy)
                o.insert("ovp", number(r.ovp));
            list.append(o);
        }
        QJsonObject all{{"model", id.model}, {"channels", list}};
        all.insert("output", output ? QJsonValue(*output) : QJsonValue());
        all.insert("coupling", coupling ? QJsonValue(couplingName(coupling)) : QJsonValue());
        context.out << QJsonDocument(all).toJson(QJsonDocument::Compact) << '\n';
        context.out.flush();
        return true;
    }
    const auto cell = [](const QString &text) { return text.rightJustified(10); };
    context.out << "CH" << cell("V") << cell("A") << cell("W") << cell("Set V") << cell("Set A");
    if (!legacy)
        context.out << cell("OVP");
    context.out << '\n';
    for (int ch = 0; ch < channels.size(); ++ch) {
        const ChannelReading &r = channels.at(ch);
        context.out << QString::number(ch + 1).leftJustified(2) << cell(r.volts) << cell(r.amps)
                    << cell(PowerText(r.volts, r.amps)) << cell(r.setVolts) << cell(r.setAmps);
        if (!legacy)
            context.out << cell(r.ovp);
        context.out << '\n';
    }
    context.out << "Output: " << (output ? (*output ? "on" : "off") : "unknown");
    if (coupling || id.layout != 2)
        context.out << "  Coupling: " << couplingName(coupling);
    context.out << '\n';
    context.out.flush();
    return true;
}

bool runSet(Context &context, const QStringList &arguments, Failure *failure)
{
    const QString what = arguments.value(0);
    const auto usage = [&](const QString &message) { return fail(failure, Usage, message); };
    if (what == QLatin1String("volt") || what == QLatin1String("curr") || what == QLatin1String("ovp")) {
        if (arguments.size() != 3)
            return usage("set " + what + " needs a channel and a value: set " + what + " CH VALUE");
        bool chOk = false;
        const int ch = arguments.at(1).toInt(&chOk);
        bool valueOk = false;
        const double value = ReadNumber(arguments.at(2), &valueOk);
        if (!chOk)
            return usage("not a channel number: \"" + arguments.at(1) + "\"");
        if (!valueOk)
            return usage("not a number: \"" + arguments.at(2) + "\" (use a point as decimal separator)");
        Identity id;
        if (!identify(context, &id, failure))
            return false;
        if (ch < 1 || ch > id.channels)
            return usage(
                QStringLiteral("%1 has no channel %2 (channels 1 to %3)").arg(id.model).arg(ch).arg(id.channels));
        const ChannelSetting setting = what == QLatin1String("volt")   ? ChannelSetting::Voltage
                                       : what == QLatin1String("curr") ? ChannelSetting::Current
                                                                       : ChannelSetting::OverVoltage;
        // The model's limits, as every front end checks them.
        const std::optional<Instrument::Range> range = context.session.instrument().range(ch - 1, setting);
        if (!range)
            return usage(id.model + " has no over-voltage setting");
        if (!(value >= range->minimum && value <= range->maximum))
            return usage(QStringLiteral("%1 %2 is outside the limits of %3 channel %4: %5 to %6 %2")
                             .arg(arguments.at(2),
                                  setting == ChannelSetting::Current ? QStringLiteral("A") : QStringLiteral("V"),
                                  id.model)
                             .arg(ch)
                             .arg(range->minimum)
                             .arg(range->maximum));
        return send(context, ChannelCommand(context.session.family(), ch, setting, SetValueText(id.layout, value)),
                    failure);
    }
    if (what == QLatin1String("output")) {
        const QString state = arguments.value(1);
        if (arguments.size() != 2 || (state != QLatin1String("on") && state != QLatin1String("off")))
            return usage("set output on|off");
        Identity id;
        return identify(context, &id, failure) &&
               send(context, OutputCommand(context.session.family(), state == QLatin1String("on")), failure);
    }
    if (what == QLatin1String("coupling")) {
        const QString mode = arguments.value(1);
        std::optional<Coupling> coupling;
        if (mode == QLatin1String("indep"))
            coupling = Coupling::Independent;
        else if (mode == QLatin1String("track"))
            coupling = Coupling::Track;
        else if (mode == QLatin1String("parallel"))
            coupling = Coupling::Parallel;
        if (arguments.size() != 2 || !coupling)
            return usage("set coupling indep|track|parallel");
        Identity id;
        if (!identify(context, &id, failure))
            return false;
        if (id.layout == 2)
            return usage(id.model + " has one output: no coupling");
        return send(context, CouplingCommand(context.session.family(), *coupling), failure);
    }
    if (what == QLatin1String("save") || what == QLatin1String("recall")) {
        bool ok = false;
        const int memory = arguments.value(1).toInt(&ok);
        if (arguments.size() != 2 || !ok || memory < Instrument::FirstMemory || memory > Instrument::LastMemory)
            return usage(QStringLiteral("set %1 N, N from %2 to %3")
                             .arg(what)
                             .arg(Instrument::FirstMemory)
                             .arg(Instrument::LastMemory));
        Identity id;
        if (!identify(context, &id, failure))
            return false;
        if (id.layout == 2)
            return usage(id.model + " keeps no memories");
        const CommandFamily family = context.session.family();
        return send(context,
                    what == QLatin1String("save") ? SaveMemoryCommand(family, memory)
                                                  : RecallMemoryCommand(family, memory),
                    failure);
    }
    return usage("unknown setting \"" + what + "\": volt, curr, ovp, output, coupling, save or recall");
}

bool runSend(Context &context, const QString &line, Failure *failure)
{
    QString error;
    if (line.trimmed().endsWith(u'?')) {
        const std::optional<QString> reply = context.session.query(line, &error);
        if (!reply)
            return fail(failure, LinkError, line + ": " + error);
        context.out << *reply << '\n';
        context.out.flush();
        return true;
    }
    if (!context.session.command(line, &error))
        return fail(failure, LinkError, line + ": " + error);
    return true;
}

} // namespace qle::cli
