#pragma once

#include "RecordEvent.h"

#include <QList>
#include <QString>

namespace qle {

// A record's events as a second comma-separated file beside its rows:
//   AtMs,Time,Kind,Channel,Source,Text
// one line per event, Time in ISO 8601 with milliseconds, Channel from 1
// (empty for none), Kind and Source by their short names, Text always in
// double quotes with quotes doubled; lines end with CR LF; UTF-8 with a
// byte-order mark, for spreadsheets to tell the encoding. Written
// beside its final name and put in place only when complete.
class EventCsv {
public:
    [[nodiscard]] static QString headerLine();
    [[nodiscard]] static QString eventLine(const RecordEvent &event);
    // A field in double quotes, any quote in it doubled.
    [[nodiscard]] static QString quoted(const QString &text);

    // False when the file cannot be written; *error names the file and why.
    static bool write(const QList<RecordEvent> &events, const QString &path, QString *error);
};

} // namespace qle
