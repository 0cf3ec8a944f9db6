#include "ControlInterpreter.h"

#include "ElectricalModel.h"
#include "FaultInjector.h"
#include "Instrument.h"
#include "NumberText.h"

namespace psusim {

namespace {
const QByteArray kOk = QByteArrayLiteral("ok");

QByteArray error(const QString &why)
{
    return "error: " + why.toUtf8();
}

QByteArray resultText(SetResult result)
{
    switch (result) {
    case SetResult::Ok:
        return kOk;
    case SetResult::OutOfRange:
        return error(QStringLiteral("value out of range"));
    case SetResult::NoSuchChannel:
        return error(QStringLiteral("no such channel"));
    case SetResult::Conflict:
        return error(QStringLiteral("not possible on this model"));
    }
    return kOk;
}

std::optional<int> channelArg(const QString &text)
{
    bool ok = false;
    const int ch = text.toInt(&ok);
    return ok ? std::optional<int>(ch) : std::nullopt;
}
} // namespace

ControlInterpreter::ControlInterpreter(QMap<int, Instrument *> instruments, FaultInjector &faults)
    : m_instruments(std::move(instruments)), m_faults(faults), m_selected(m_instruments.firstKey())
{
}

QString ControlInterpreter::help()
{
    return QStringLiteral("  load <ch> <ohms|open>          resistive load on an output\n"
                          "  trip ovp|ocp <ch>              force a protection trip\n"
                          "  set volt|curr|ovp <ch> <value> front-panel change of a set value\n"
                          "  output on|off                  front-panel output switch\n"
                          "  coupling indep|track|parallel  front-panel coupling\n"
                          "  fault <name> <args>            add a fault (see --help), 'fault clear' removes all\n"
                          "  model <name>                   become another model (power cycle)\n"
                          "  select <gpib address>          direct these commands to another instrument\n"
                          "  status                         one-line state summary after 'ok'\n"
                          "  quit                           end the simulator\n");
}

Instrument &ControlInterpreter::current()
{
    return *m_instruments.value(m_selected);
}

ControlInterpreter::Result ControlInterpreter::execute(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line).trimmed();
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {error(QStringLiteral("empty command"))};
    const QString name = words.first().toLower();
    const QStringList args = words.mid(1);
    if (name == QLatin1String("quit") && args.isEmpty())
        return {kOk, true};
    if (name == QLatin1String("load"))
        return {load(args)};
    if (name == QLatin1String("trip"))
        return {trip(args)};
    if (name == QLatin1String("set"))
        return {set(args)};
    if (name == QLatin1String("output"))
        return {output(args)};
    if (name == QLatin1String("coupling"))
        return {coupling(args)};
    if (name == QLatin1String("fault"))
        return {fault(text.mid(words.first().size()))};
    if (name == QLatin1String("model"))
        return {model(args)};
    if (name == QLatin1String("select"))
        return {select(args)};
    if (name == QLatin1String("status") && args.isEmpty())
        return {kOk + ' ' + current().statusSummary() + " faults=" + m_faults.describe().toUtf8()};
    if (name == QLatin1String("help"))
        return {kOk + '\n' + help().toUtf8().trimmed()};
    return {error(QStringLiteral("unknown command '%1'").arg(name))};
}

QByteArray ControlInterpreter::load(const QStringList &args)
{
    if (args.size() != 2)
        return error(QStringLiteral("usage: load <ch> <ohms|open>"));
    const auto ch = channelArg(args.at(0));
    if (!ch)
        return error(QStringLiteral("bad channel"));
    double ohms = kOpenCircuit;
    if (args.at(1).toLower() != QLatin1String("open")) {
        const auto value = parseDecimal(args.at(1).toLatin1());
        if (!value || *value < 0)
            return error(QStringLiteral("bad load '%1'").arg(args.at(1)));
        ohms = *value;
    }
    return resultText(current().supply().setLoad(*ch, ohms));
}

QByteArray ControlInterpreter::trip(const QStringList &args)
{
    if (args.size() != 2)
        return error(QStringLiteral("usage: trip ovp|ocp <ch>"));
    const QString kind = args.at(0).toLower();
    const auto ch = channelArg(args.at(1));
    if (kind != QLatin1String("ovp") && kind != QLatin1String("ocp"))
        return error(QStringLiteral("trip ovp or ocp"));
    if (!ch || !current().supply().hasChannel(*ch))
        return error(QStringLiteral("no such channel"));
    current().supply().forceTrip(*ch, kind == QLatin1String("ovp") ? Trip::OverVoltage : Trip::OverCurrent);
    return kOk;
}

QByteArray ControlInterpreter::set(const QStringList &args)
{
    if (args.size() != 3)
        return error(QStringLiteral("usage: set volt|curr|ovp <ch> <value>"));
    const QString what = args.at(0).toLower();
    const auto ch = channelArg(args.at(1));
    const auto value = parseDecimal(args.at(2).toLatin1());
    if (!ch)
        return error(QStringLiteral("bad channel"));
    if (!value)
        return error(QStringLiteral("bad value '%1'").arg(args.at(2)));
    PowerSupply &supply = current().supply();
    if (what == QLatin1String("volt"))
        return resultText(supply.setVoltage(*ch, *value));
    if (what == QLatin1String("curr"))
        return resultText(supply.setCurrent(*ch, *value));
    if (what == QLatin1String("ovp"))
        return resultText(supply.setOvp(*ch, *value));
    return error(QStringLiteral("set volt, curr or ovp"));
}

QByteArray ControlInterpreter::output(const QStringList &args)
{
    if (args.size() != 1 || (args.at(0) != QLatin1String("on") && args.at(0) != QLatin1String("off")))
        return error(QStringLiteral("usage: output on|off"));
    PowerSupply &supply = current().supply();
    const bool on = args.at(0) == QLatin1String("on");
    supply.setOutput(on);
    if (on && !supply.outputOn())
        return error(QStringLiteral("protection tripped; clear it first"));
    return kOk;
}

QByteArray ControlInterpreter::coupling(const QStringList &args)
{
    static const QMap<QString, Coupling> names{{QStringLiteral("indep"), Coupling::Independent},
                                               {QStringLiteral("track"), Coupling::Track},
                                               {QStringLiteral("parallel"), Coupling::Parallel}};
    if (args.size() != 1 || !names.contains(args.at(0).toLower()))
        return error(QStringLiteral("usage: coupling indep|track|parallel"));
    return resultText(current().supply().setCoupling(names.value(args.at(0).toLower())));
}

QByteArray ControlInterpreter::fault(const QString &rest)
{
    const QString why = m_faults.apply(rest);
    return why.isEmpty() ? kOk : error(why);
}

QByteArray ControlInterpreter::model(const QStringList &args)
{
    if (args.size() != 1)
        return error(QStringLiteral("usage: model <name>"));
    const ModelInfo *info = findModel(args.at(0));
    if (!info)
        return error(QStringLiteral("unknown model '%1'").arg(args.at(0)));
    current().setModel(*info);
    return kOk;
}

QByteArray ControlInterpreter::select(const QStringList &args)
{
    bool ok = false;
    const int address = args.size() == 1 ? args.at(0).toInt(&ok) : -1;
    if (!ok || !m_instruments.contains(address))
        return error(QStringLiteral("no instrument at that address"));
    m_selected = address;
    return kOk;
}

} // namespace psusim
