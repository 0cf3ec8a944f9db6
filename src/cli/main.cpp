// qle-cli: the instrument from the command line, on the engine and protocol
// code of the main program, without windows.
#include "CliCommands.h"
#include "comm/TcpLink.h"
#include "InstrumentSession.h"
#include "LogCommand.h"
#include "RunCommand.h"

#include "comm/SerialPortCandidates.h"
#include "platform/DataFolder.h"
#include "platform/FormatPattern.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/SqliteFile.h"
#include "protocol/Catalogue.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QTextStream>

#include <memory>

using namespace qle;
using namespace qle::cli;

namespace {

// A message the engine would show in a box goes to standard error.
class StderrMessageBox final : public IMessageBox {
public:
    Answer show(const QString &text, const QString &, Buttons, Icon) override
    {
        QTextStream(stderr) << "qle-cli: " << text << '\n';
        return Answer::Ok;
    }
};

const char *const Summary = "Usage: qle-cli [LINK] COMMAND [ARGUMENTS]\n"
                            "\n"
                            "Commands:\n"
                            "  ports                      the serial ports, one a line\n"
                            "  identify                   maker, model, serial number, firmware, layout, channels\n"
                            "  read [--json]              each channel's readings, power, settings; output, coupling\n"
                            "  set volt|curr|ovp CH VALUE a set value (checked against the model's limits)\n"
                            "  set output on|off          the output switch\n"
                            "  set coupling indep|track|parallel\n"
                            "  set save N | set recall N  store or recall memory N (1 to 4)\n"
                            "  send LINE                  writes LINE; a query (ending in '?') prints its reply\n"
                            "  log --interval S --duration D [--reduce max|min|avg --every S2]\n"
                            "      [--csv FILE|-] [--record COMMENT] [--energy] [--mqtt URL]\n"
                            "                             reads every channel every S seconds for D (90s, 8h, 3d);\n"
                            "                             CSV rows on standard output unless a file is given;\n"
                            "                             --mqtt publishes them to an MQTT broker too\n"
                            "  run FILE [--check] [--csv FILE|-] [--record COMMENT] [--interval S] [--energy]\n"
                            "                             checks a sequence file against the model, then runs it;\n"
                            "                             its log on standard error, every channel recorded with\n"
                            "                             --csv or --record\n"
                            "\n"
                            "Link (every command but ports):\n"
                            "  --port PATH [--baud N]     serial port, 8N1, default 9600 baud; a bare name\n"
                            "                             (ttyUSB0) is looked up in /dev, a path with a slash\n"
                            "                             is used as given\n"
                            "  --tcp HOST:PORT            raw TCP socket\n"
                            "  --gpib BOARD:ADDRESS       GPIB, backend from the settings' [GPIB] section\n"
                            "  --timeout S                seconds to wait for a reply (default 20, at most 86400)\n"
                            "  --data-dir DIR             folder of mtype.mdb (the model catalogue)\n"
                            "\n"
                            "Exit status: 0 done, 2 usage, 3 link or instrument error, 4 file or database error;\n"
                            "run: 2 also for a file with faults or one that fails its check (nothing sent), 3\n"
                            "also for a run stopped before its last step.\n";

QString commandHelp(const QString &command)
{
    if (command == QLatin1String("ports"))
        return "Usage: qle-cli ports\nLists the serial ports the link dialog offers, one a line.\n";
    if (command == QLatin1String("identify"))
        return "Usage: qle-cli LINK identify\nAsks \"*IDN?\" and prints maker, model, serial number and firmware,\n"
               "then the catalogue's layout and channel count. Exit status 3: unknown model.\n";
    if (command == QLatin1String("read"))
        return "Usage: qle-cli LINK read [--json]\nEvery channel's measured voltage, current and power (W), set\n"
               "voltage and current and its over-voltage level, the output state and coupling:\n"
               "a table, or one JSON object (power null when a reading is not a number).\n";
    if (command == QLatin1String("set"))
        return "Usage: qle-cli LINK set volt|curr|ovp CH VALUE\n"
               "       qle-cli LINK set output on|off\n"
               "       qle-cli LINK set coupling indep|track|parallel\n"
               "       qle-cli LINK set save N | set recall N\n"
               "The panels' command texts; a value outside the model's limits is refused before\n"
               "anything is sent. VALUE takes a point as decimal separator.\n";
    if (command == QLatin1String("log"))
        return "Usage: qle-cli LINK log --interval S --duration D [--reduce max|min|avg --every S2]\n"
               "                        [--csv FILE|-] [--record COMMENT] [--energy] [--mqtt URL]\n"
               "                        [--data-dir DIR]\n"
               "Reads every channel's voltage and current every S seconds for D (e.g. 90s, 15m,\n"
               "8h, 3d). S is 0.1 s to one day (1d), D at most 366 days (366d). With --reduce,\n"
               "one row per S2 (the interval to one day) holds the largest, smallest or average\n"
               "reading of its S2, as the recorders store it. --csv writes the graph recorder's\n"
               "CSV layout, a line as each row is taken; --record stores a numbered record in the\n"
               "data folder's mtype.mdb that the main program lists and loads. With --csv -, or\n"
               "with neither --csv nor --record, the CSV lines go to standard output and the\n"
               "row count to standard error.\n"
               "Every reading, stored or folded into a row, adds to each channel's charge and\n"
               "energy; the row count is followed by a line per channel: \"CH1: 0.0069 Ah,\n"
               "0.0347 Wh\". --energy adds each channel's power (W), charge (Ah) and energy (Wh)\n"
               "so far to every CSV line; a record keeps the totals.\n"
               "Ctrl+C, SIGTERM or SIGHUP ends the log early; every row taken is kept.\n"
               "--mqtt mqtt://[user[:password]@]host[:port][/prefix][?bench=NAME] (mqtts:// for TLS)\n"
               "also publishes the readings, the instrument's state and its events under\n"
               "prefix/bench/ (qle/<host name>/ by default); see README, \"Publishing to MQTT\". A\n"
               "broker that is away or refuses the login is told on standard error and tried\n"
               "again; the rows never wait for it. At the end \"offline\" is published. Commands\n"
               "from the broker are never taken by qle-cli.\n";
    if (command == QLatin1String("run"))
        return "Usage: qle-cli LINK run FILE [--check] [--csv FILE|-] [--record COMMENT] [--interval S]\n"
               "                        [--energy]\n"
               "Reads the sequence file FILE (README.md, \"Sequences\", has its steps) and checks it\n"
               "against the identified model: channels, limits, memories, coupling, and ramps\n"
               "the link can keep up with. Every fault goes to standard error as FILE:LINE:COLUMN:\n"
               "and nothing is sent. --check prints the number of commands and the time the run\n"
               "takes, and stops there. Otherwise the steps run one after the other, each line of\n"
               "the run log on standard error as it happens: a step with its planned and actual\n"
               "time, ramp values, the readings a wait until ended on, marks, the end.\n"
               "--csv and --record record every channel every S seconds (--interval, 0.1 s to\n"
               "1d, default 1 s) as log does, from record start to record stop in the file, or\n"
               "for the whole run when the file has no record step; without them a file with\n"
               "record start fails its check. Row times count from the run's start. Charge and\n"
               "energy count while recording, as with log, and --energy adds them to the CSV.\n"
               "Ctrl+C, SIGTERM or SIGHUP stop the run: the file's on stop: applies (output off\n"
               "unless it says hold).\n"
               "Exit status: 0 all steps done; 2 a fault in the file or its check, nothing sent;\n"
               "3 link or instrument error, or a run stopped early (a refused command, an error\n"
               "of the instrument, a lost link, a wait until timed out, a signal); 4 the file or\n"
               "the rows cannot be read or written.\n";
    if (command == QLatin1String("send"))
        return "Usage: qle-cli LINK send LINE\nWrites LINE as it is; when it ends in '?' prints the reply line.\n";
    return Summary;
}

int failWith(Exit status, const QString &message)
{
    QTextStream(stderr) << "qle-cli: " << message << '\n';
    return status;
}

// "--tcp HOST:PORT", "--gpib BOARD:ADDRESS".
bool splitPair(const QString &text, QString *first, int *second)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    bool ok = false;
    *first = text.left(colon);
    *second = text.mid(colon + 1).toInt(&ok);
    return ok;
}

// Past a day the reply time-out in milliseconds would overflow the timers.
constexpr double LongestTimeoutSec = 86400;

// "--port": a bare name ("ttyUSB0") is a device of /dev; anything with a
// slash is a path as given, relative to the current folder. (The serial port
// itself would look up "run/a.pty" under /dev too.)
QString serialDevicePath(const QString &given)
{
    if (!given.contains(u'/'))
        return QStringLiteral("/dev/") + given;
    return QFileInfo(given).absoluteFilePath();
}

// The command line as given: options anywhere, the command and its words in order.
struct Arguments {
    QMap<QString, QString> options; // name without dashes -> value ("" for a flag)
    QString command;
    QStringList words;
};

// Options that take a value, and flags.
const QStringList ValueOptions{"port",     "baud",   "tcp",   "gpib", "timeout", "data-dir", "interval",
                               "duration", "reduce", "every", "csv",  "record",  "mqtt"};
const QStringList FlagOptions{"help", "json", "check", "energy"};

bool parseArguments(const QStringList &args, Arguments *parsed, QString *error)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        // send takes its line as it is, dashes and all.
        if (parsed->command == QLatin1String("send") && !parsed->words.isEmpty()) {
            parsed->words.append(arg);
            continue;
        }
        if (arg.startsWith(QLatin1String("--")) || arg == QLatin1String("-h")) {
            QString name = arg == QLatin1String("-h") ? QStringLiteral("help") : arg.mid(2);
            QString value;
            const qsizetype equals = name.indexOf(u'=');
            const bool inline_ = equals >= 0;
            if (inline_) {
                value = name.mid(equals + 1);
                name = name.left(equals);
            }
            if (FlagOptions.contains(name)) {
                if (inline_) {
                    *error = "--" + name + " takes no value";
                    return false;
                }
            } else if (ValueOptions.contains(name)) {
                if (!inline_) {
                    if (i + 1 >= args.size()) {
                        *error = "--" + name + " needs a value";
                        return false;
                    }
                    value = args.at(++i);
                }
            } else {
                *error = "unknown option " + arg;
                return false;
            }
            if (parsed->options.contains(name)) {
                *error = "--" + name + " given twice";
                return false;
            }
            parsed->options.insert(name, value);
            continue;
        }
        if (parsed->command.isEmpty())
            parsed->command = arg;
        else
            parsed->words.append(arg);
    }
    return true;
}

// The link the options name; exactly one of --port, --tcp, --gpib.
bool linkFrom(const Arguments &args, LinkOptions *link, QString *error)
{
    const int given = static_cast<int>(args.options.contains("port")) + static_cast<int>(args.options.contains("tcp")) +
                      static_cast<int>(args.options.contains("gpib"));
    if (given != 1) {
        *error = given == 0 ? "no link given: use --port PATH, --tcp HOST:PORT or --gpib BOARD:ADDRESS"
                            : "give one link only: --port, --tcp or --gpib";
        return false;
    }
    if (args.options.contains("timeout")) {
        bool ok = false;
        link->timeoutSec = ReadNumber(args.options.value("timeout"), &ok);
        if (!ok || link->timeoutSec <= 0 || link->timeoutSec > LongestTimeoutSec) {
            *error = "--timeout needs a number of seconds above 0, at most 86400 (one day)";
            return false;
        }
    }
    if (args.options.contains("baud") && !args.options.contains("port")) {
        *error = "--baud goes with --port";
        return false;
    }
    if (args.options.contains("port")) {
        link->kind = LinkOptions::Kind::Serial;
        if (args.options.value("port").isEmpty()) {
            *error = "--port needs a device name such as ttyUSB0 or a path such as /dev/ttyUSB0";
            return false;
        }
        link->port = serialDevicePath(args.options.value("port"));
        bool ok = true;
        if (args.options.contains("baud"))
            link->baud = args.options.value("baud").toInt(&ok);
        if (!ok || link->baud <= 0) {
            *error = "--baud needs a rate such as 9600";
            return false;
        }
        return true;
    }
    if (args.options.contains("tcp")) {
        const std::optional<TcpAddress> address = TcpAddress::parse(args.options.value("tcp"));
        if (!address) {
            *error = "--tcp needs HOST:PORT, e.g. 127.0.0.1:5025";
            return false;
        }
        link->kind = LinkOptions::Kind::Tcp;
        link->host = address->host;
        link->tcpPort = address->port;
        return true;
    }
    QString board;
    int address = 0;
    bool boardOk = false;
    if (!splitPair(args.options.value("gpib"), &board, &address) ||
        (link->gpibBoard = board.toInt(&boardOk), !boardOk) || address < 0 || address > 30) {
        *error = "--gpib needs BOARD:ADDRESS, e.g. 0:5";
        return false;
    }
    link->kind = LinkOptions::Kind::Gpib;
    link->gpibAddress = address;
    return true;
}

// The model catalogue from the data folder, as the main program finds it.
bool readCatalogue(const QString &overrideDir, QList<CatalogueRow> *rows, QString *folderOut, QString *error)
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString shipped = DataFolder::shippedCatalogue(exeDir);
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString folder = DataFolder::resolve(overrideDir, exeDir, perUser, shipped).folder;
    *folderOut = folder;
    const QString path = folder + "/" + DataFolder::CatalogueFileName;
    if (!QFileInfo::exists(path)) {
        *error = "no model catalogue at " + path;
        return false;
    }
    bool ok = false;
    {
        QString openError;
        if (!sqlite::open("qle-cli", path, &openError)) {
            *error = "cannot open " + path + ": " + openError;
        } else {
            QString readError;
            ok = ReadCatalogue(QSqlDatabase::database("qle-cli"), rows, &readError);
            if (!ok)
                *error = "cannot read the model catalogue in " + path + ": " + readError;
            QSqlDatabase::database("qle-cli").close();
        }
    }
    QSqlDatabase::removeDatabase("qle-cli");
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("QLE");
    StderrMessageBox boxes;
    platform::setMessageBox(&boxes);
    QTextStream out(stdout);

    Arguments args;
    QString error;
    if (!parseArguments(QCoreApplication::arguments(), &args, &error))
        return failWith(Usage, error + " (qle-cli --help)");
    const QStringList commands{"ports", "identify", "read", "set", "send", "log", "run"};
    if (args.options.contains("help")) {
        out << commandHelp(args.command);
        return Done;
    }
    if (args.command.isEmpty())
        return failWith(Usage, "no command given (qle-cli --help)");
    if (!commands.contains(args.command))
        return failWith(Usage, "unknown command \"" + args.command + "\" (qle-cli --help)");
    if (args.options.contains("json") && args.command != QLatin1String("read"))
        return failWith(Usage, "--json goes with read");

    if (args.command == QLatin1String("ports")) {
        if (!args.words.isEmpty())
            return failWith(Usage, "ports takes no arguments");
        for (const SerialCandidate &candidate : serialCandidates(systemSerialPorts(), {}))
            out << candidate.path << '\n';
        return Done;
    }
    if ((args.command == QLatin1String("identify") || args.command == QLatin1String("read")) && !args.words.isEmpty())
        return failWith(Usage, args.command + " takes no arguments");
    if (args.command == QLatin1String("send") && args.words.isEmpty())
        return failWith(Usage, "send needs the line to write");
    if (args.command == QLatin1String("set") && args.words.isEmpty())
        return failWith(Usage, "set needs what to set (qle-cli set --help)");

    const bool isLog = args.command == QLatin1String("log");
    const bool isRun = args.command == QLatin1String("run");
    for (const QString &name : QStringList{"duration", "reduce", "every", "mqtt"}) {
        if (args.options.contains(name) && !isLog)
            return failWith(Usage, "--" + name + " goes with log");
    }
    for (const QString &name : QStringList{"interval", "csv", "record", "energy"}) {
        if (args.options.contains(name) && !isLog && !isRun)
            return failWith(Usage, "--" + name + " goes with log or run");
    }
    if (args.options.contains("check") && !isRun)
        return failWith(Usage, "--check goes with run");
    LogOptions log;
    if (isLog && !logOptionsFrom(args.options, args.words, &log, &error))
        return failWith(Usage, error);
    RunOptions run;
    if (isRun && !runOptionsFrom(args.options, args.words, &run, &error))
        return failWith(Usage, error);

    LinkOptions link;
    if (!linkFrom(args, &link, &error))
        return failWith(Usage, error);
    // A sequence file is read before anything is opened.
    sequence::Program program;
    if (isRun) {
        Failure failure;
        if (!loadRunProgram(run, &program, &failure))
            return failWith(failure.status, failure.message);
    }
    Context context{*new InstrumentSession, {}, out};
    const std::unique_ptr<InstrumentSession> owner(&context.session);
    if (args.command != QLatin1String("send") &&
        !readCatalogue(args.options.value("data-dir"), &context.catalogue, &log.rows.dataFolder, &error))
        return failWith(FileError, error);
    run.rows.dataFolder = log.rows.dataFolder;
    QSettingsStore settings;
    if (!context.session.open(link, settings, &error))
        return failWith(LinkError, error);

    Failure failure;
    bool ok = false;
    if (args.command == QLatin1String("identify"))
        ok = runIdentify(context, &failure);
    else if (args.command == QLatin1String("read"))
        ok = runRead(context, args.options.contains("json"), &failure);
    else if (args.command == QLatin1String("set"))
        ok = runSet(context, args.words, &failure);
    else if (args.command == QLatin1String("log"))
        ok = runLog(context, log, &failure);
    else if (isRun)
        ok = runSequence(context, run, program, &failure);
    else
        ok = runSend(context, args.words.join(u' '), &failure);
    if (!ok)
        return failWith(failure.status, failure.message);
    return Done;
}
