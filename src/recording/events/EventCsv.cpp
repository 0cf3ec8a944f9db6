#include "EventCsv.h"

#include <QDir>
#include <QSaveFile>

namespace qle {
namespace {

constexpr const char *LineEnd = "\r\n";
constexpr const char *ByteOrderMark = "\xEF\xBB\xBF";

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot export the events to ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") +
           reason;
}

} // namespace

QString EventCsv::headerLine()
{
    return QStringLiteral("AtMs,Time,Kind,Channel,Source,Text");
}

QString EventCsv::quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString EventCsv::eventLine(const RecordEvent &event)
{
    return QString::number(event.atMs) + u',' + RecordEvent::isoTime(event.at) + u',' +
           RecordEvent::kindName(event.kind) + u',' +
           (event.channel >= 0 ? QString::number(event.channel + 1) : QString()) + u',' +
           RecordEvent::sourceName(event.source) + u',' + quoted(event.text);
}

bool EventCsv::write(const QList<RecordEvent> &events, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = failure(path, file.errorString());
        return false;
    }
    file.write(ByteOrderMark);
    file.write(headerLine().toUtf8() + LineEnd);
    for (const RecordEvent &event : events)
        file.write(eventLine(event).toUtf8() + LineEnd);
    if (!file.commit()) {
        *error = failure(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace qle
