#pragma once

#include <QDateTime>
#include <QString>

namespace qle {

// Record times are written as "YYYY/MM/DD HH:MM:SS".
inline constexpr const char *RecordTimeFormat = "yyyy/MM/dd HH:mm:ss";

QString formatRecordTime(const QDateTime &time);
// An invalid QDateTime when the text is not such a time.
QDateTime parseRecordTime(const QString &text);

} // namespace qle
