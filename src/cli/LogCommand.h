#pragma once

#include "CliCommands.h"
#include "RowWriter.h"

#include "mqtt/MqttSettings.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace qle::cli {

// qle-cli log: what to read, how often, for how long and where it goes.
struct LogOptions {
    double intervalSec = 1;
    double durationSec = 0;
    int reduceMode = -1; // -1 none, else the recorders' modes: 0 max, 1 min, 2 average
    double everySec = 0; // one stored point per this many seconds with reduceMode
    // Neither --csv nor --record: the CSV rows go to standard output, as
    // with "--csv -", and the row count to standard error.
    RowTargets rows;
    // --mqtt URL: the readings, state and events published to that broker too.
    std::optional<MqttSettings> mqtt;
};

// "90s", "15m", "8h", "3d" or plain seconds; nothing when unreadable, not a
// finite number or not above 0.
std::optional<double> parseDuration(const QString &text);

// --interval: 0.1 s to one day, 1 s when not given; false with a usage
// message.
bool intervalFrom(const QMap<QString, QString> &options, double *seconds, QString *error);
// --csv FILE|- and --record COMMENT; `stdoutByDefault`: CSV lines on standard
// output when neither is given.
bool rowTargetsFrom(const QMap<QString, QString> &options, bool stdoutByDefault, RowTargets *targets, QString *error);

// Reads the log options from the command's words and options; false with a
// usage message.
bool logOptionsFrom(const QMap<QString, QString> &options, const QStringList &words, LogOptions *log, QString *error);

bool runLog(Context &context, const LogOptions &options, Failure *failure);

} // namespace qle::cli
