#include "SimOptions.h"

#include "ControlInterpreter.h"
#include "ElectricalModel.h"
#include "FaultInjector.h"
#include "ModelTable.h"

#include <QCommandLineParser>

namespace psusim {

namespace {

ParsedOptions failure(const QString &message)
{
    ParsedOptions parsed;
    parsed.exitCode = 2;
    parsed.message = QStringLiteral("psu-sim: %1\n").arg(message);
    return parsed;
}

std::optional<int> intValue(const QString &text, int min, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<double> nonNegative(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

ParsedOptions parseOptions(const QStringList &arguments)
{
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("A simulated programmable DC power supply. It prints where to connect on its first line of\n"
                       "output (a pseudo-terminal path, or tcp:PORT) and then answers the instrument protocol."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model to be (default KMA-3303T)."),
                                   QStringLiteral("NAME"));
    const QCommandLineOption listModels(QStringLiteral("list-models"),
                                        QStringLiteral("Print the model table and exit."));
    const QCommandLineOption maker(QStringLiteral("maker"),
                                   QStringLiteral("Maker field of *IDN? (default \"QV Instruments\")."),
                                   QStringLiteral("TEXT"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Serial number field of *IDN? (default SN000123)."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption firmware(QStringLiteral("firmware"),
                                      QStringLiteral("Version field of *IDN? (default 1.0)."), QStringLiteral("TEXT"));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Listen on 127.0.0.1:PORT instead of a pseudo-terminal (0 picks a port)."),
        QStringLiteral("PORT"));
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral("Keep a symbolic link at PATH to the pseudo-terminal (removed at exit)."),
        QStringLiteral("PATH"));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral("Pace output like a serial line at N baud, 10 bits a byte (default: unpaced)."),
        QStringLiteral("N"));
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Processing time before each reply starts."), QStringLiteral("MS"));
    const QCommandLineOption term(QStringLiteral("term"), QStringLiteral("Reply terminator: lf (default), crlf or cr."),
                                  QStringLiteral("lf|crlf|cr"));
    const QCommandLineOption prologix(
        QStringLiteral("prologix"),
        QStringLiteral("Act as a Prologix GPIB-USB controller with instruments behind it."));
    const QCommandLineOption gpib(
        QStringLiteral("gpib-address"),
        QStringLiteral("An instrument behind the GPIB controller (repeatable; default 1=--model)."),
        QStringLiteral("ADDR=MODEL"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the read-back noise (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption noiseMv(
        QStringLiteral("noise-mv"), QStringLiteral("Voltage read-back noise, +-mV (default 1)."), QStringLiteral("MV"));
    const QCommandLineOption noiseMa(QStringLiteral("noise-ma"),
                                     QStringLiteral("Current read-back noise, +-mA (default 0.1)."),
                                     QStringLiteral("MA"));
    const QCommandLineOption noNoise(QStringLiteral("no-noise"), QStringLiteral("Exact read-back values."));
    const QCommandLineOption load(QStringLiteral("load"), QStringLiteral("Initial load on every output (default 10)."),
                                  QStringLiteral("OHMS|open"));
    const QCommandLineOption unit(QStringLiteral("autorun-unit-ms"),
                                  QStringLiteral("Length of one auto-run delay unit (default 100)."),
                                  QStringLiteral("MS"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Start with a fault (repeatable), e.g. --fault \"delay 300\"; see Faults below."),
        QStringLiteral("FAULT"));
    const QCommandLineOption control(QStringLiteral("control"),
                                     QStringLiteral("Control commands on standard input: stdin (default) or none."),
                                     QStringLiteral("stdin|none"));
    const QCommandLineOption controlSocket(QStringLiteral("control-socket"),
                                           QStringLiteral("Also take control commands on a local socket."),
                                           QStringLiteral("PATH"));
    const QCommandLineOption transcript(
        QStringLiteral("transcript"),
        QStringLiteral("Log every line received (<) and sent (>) with a timestamp in ms."), QStringLiteral("FILE"));
    p.addOptions({help,    model,   listModels, maker,    serial,  firmware,      tcp,       link,
                  baud,    latency, term,       prologix, gpib,    seed,          noiseMv,   noiseMa,
                  noNoise, load,    unit,       fault,    control, controlSocket, transcript});

    if (!p.parse(arguments))
        return failure(p.errorText());
    if (!p.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    if (p.isSet(help)) {
        ParsedOptions parsed;
        parsed.message =
            p.helpText() + QStringLiteral("\nFaults (--fault FAULT, control 'fault FAULT'):\n") +
            FaultInjector::help() + QStringLiteral("\nControl commands (answered ok or error: ...):\n") +
            ControlInterpreter::help() +
            QStringLiteral("\nThe first line of output is where to connect; after a drop of the pseudo-terminal\n"
                           "a line \"moved PATH\" gives the new one (the --link path follows it).\n");
        return parsed;
    }

    SimOptions o;
    o.listModels = p.isSet(listModels);
    if (p.isSet(model)) {
        if (!findModel(p.value(model)))
            return failure(QStringLiteral("unknown model '%1' (see --list-models)").arg(p.value(model)));
        o.model = findModel(p.value(model))->name;
    }
    if (p.isSet(maker))
        o.maker = p.value(maker).toLatin1();
    if (p.isSet(serial))
        o.serialNumber = p.value(serial).toLatin1();
    if (p.isSet(firmware))
        o.firmware = p.value(firmware).toLatin1();
    if (p.isSet(tcp)) {
        const auto port = intValue(p.value(tcp), 0, 65535);
        if (!port)
            return failure(QStringLiteral("bad --tcp port"));
        o.tcpPort = *port;
    }
    o.linkPath = p.value(link);
    if (!o.linkPath.isEmpty() && o.tcpPort >= 0)
        return failure(QStringLiteral("--link is for the pseudo-terminal, not --tcp"));
    if (p.isSet(baud)) {
        const auto n = intValue(p.value(baud), 0, 10000000);
        if (!n)
            return failure(QStringLiteral("bad --baud"));
        o.baud = *n;
    }
    if (p.isSet(latency)) {
        const auto n = intValue(p.value(latency), 0, 600000);
        if (!n)
            return failure(QStringLiteral("bad --latency"));
        o.latencyMs = *n;
    }
    if (p.isSet(term)) {
        const QString t = p.value(term).toLower();
        if (t == QLatin1String("lf"))
            o.terminator = "\n";
        else if (t == QLatin1String("crlf"))
            o.terminator = "\r\n";
        else if (t == QLatin1String("cr"))
            o.terminator = "\r";
        else
            return failure(QStringLiteral("--term is lf, crlf or cr"));
    }
    o.prologix = p.isSet(prologix);
    for (const QString &entry : p.values(gpib)) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        const auto address = intValue(entry.left(eq), 0, 30);
        const ModelInfo *info = eq > 0 ? findModel(entry.mid(eq + 1)) : nullptr;
        if (!address || !info)
            return failure(QStringLiteral("bad --gpib-address '%1' (ADDR=MODEL, ADDR 0..30)").arg(entry));
        o.gpibInstruments.append({*address, info->name});
    }
    if (!o.gpibInstruments.isEmpty() && !o.prologix)
        return failure(QStringLiteral("--gpib-address needs --prologix"));
    if (p.isSet(seed)) {
        bool ok = false;
        o.seed = p.value(seed).toUInt(&ok);
        if (!ok)
            return failure(QStringLiteral("bad --seed"));
    }
    if (p.isSet(noiseMv)) {
        const auto v = nonNegative(p.value(noiseMv));
        if (!v)
            return failure(QStringLiteral("bad --noise-mv"));
        o.noiseVolt = *v / 1000;
    }
    if (p.isSet(noiseMa)) {
        const auto v = nonNegative(p.value(noiseMa));
        if (!v)
            return failure(QStringLiteral("bad --noise-ma"));
        o.noiseCurr = *v / 1000;
    }
    if (p.isSet(noNoise))
        o.noiseVolt = o.noiseCurr = 0;
    if (p.isSet(load)) {
        if (p.value(load).toLower() == QLatin1String("open")) {
            o.loadOhms = kOpenCircuit;
        } else {
            const auto v = nonNegative(p.value(load));
            if (!v)
                return failure(QStringLiteral("bad --load"));
            o.loadOhms = *v;
        }
    }
    if (p.isSet(unit)) {
        const auto n = intValue(p.value(unit), 1, 60000);
        if (!n)
            return failure(QStringLiteral("bad --autorun-unit-ms"));
        o.autoRunUnitMs = *n;
    }
    FaultInjector check;
    for (const QString &faultText : p.values(fault)) {
        const QString why = check.apply(faultText);
        if (!why.isEmpty())
            return failure(QStringLiteral("--fault '%1': %2").arg(faultText, why));
        o.faults << faultText;
    }
    if (p.isSet(control)) {
        const QString c = p.value(control).toLower();
        if (c != QLatin1String("stdin") && c != QLatin1String("none"))
            return failure(QStringLiteral("--control is stdin or none"));
        o.controlStdin = c == QLatin1String("stdin");
    }
    o.controlSocket = p.value(controlSocket);
    o.transcriptPath = p.value(transcript);

    ParsedOptions parsed;
    parsed.options = o;
    return parsed;
}

} // namespace psusim
