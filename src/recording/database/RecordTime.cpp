#include "RecordTime.h"

namespace qle {

QString formatRecordTime(const QDateTime &time)
{
    return time.toString(QString::fromLatin1(RecordTimeFormat));
}

QDateTime parseRecordTime(const QString &text)
{
    return QDateTime::fromString(text.trimmed(), QString::fromLatin1(RecordTimeFormat));
}

} // namespace qle
