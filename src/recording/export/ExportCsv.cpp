#include "ExportCsv.h"

#include <QDir>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace qle {
namespace {

const QString Rows =
    QStringLiteral("select SeqNo ,RecTime,PVal,SVal,PVal2,SVal2,PVal3,SVal3,timetick from datatemp order by SeqNo");
const QByteArray LineEnd(ExportCsv::LineEnd);

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot export to ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}

} // namespace

QString ExportCsv::headerLine(int channels)
{
    QString line = QStringLiteral("No.,Time,Ch1 V,Ch1 A");
    for (int ch = 2; ch <= channels && ch <= 3; ++ch)
        line += QStringLiteral(",Ch%1 V,Ch%1 A").arg(ch);
    return line;
}

QString ExportCsv::rowLine(const RecordRow &row, int channels)
{
    QString line = QString::number(row.seqNo) + u',' + row.recTime;
    for (std::size_t ch = 0; ch < static_cast<std::size_t>(std::clamp(channels, 1, 3)); ++ch)
        line += u',' + row.pval[ch] + u',' + row.sval[ch];
    return line;
}

bool ExportCsv::write(QSqlDatabase db, int channels, const QString &path, QString *error)
{
    return write(db, channels, path, error, {}, {});
}

bool ExportCsv::write(QSqlDatabase db, int channels, const QString &path, QString *error, const QString &extraHeader,
                      const std::function<QString(const RecordRow &)> &extraColumns)
{
    channels = std::clamp(channels, 1, 3);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = failure(path, file.errorString());
        return false;
    }

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(Rows) || !query.exec()) {
        file.cancelWriting();
        *error = failure(path, query.lastError().text());
        return false;
    }

    file.write((headerLine(channels) + extraHeader).toLocal8Bit() + LineEnd);
    // SeqNo, RecTime, then voltage and current per channel.
    const int fields = 2 + 2 * channels;
    while (query.next()) {
        QString line;
        for (int field = 0; field < fields; ++field) {
            if (field > 0)
                line += QLatin1Char(',');
            line += query.value(field).toString();
        }
        if (extraColumns) {
            RecordRow row;
            row.seqNo = query.value(0).toLongLong();
            row.recTime = query.value(1).toString();
            for (int ch = 0; ch < channels; ++ch) {
                row.pval[static_cast<std::size_t>(ch)] = query.value(2 + 2 * ch).toString();
                row.sval[static_cast<std::size_t>(ch)] = query.value(3 + 2 * ch).toString();
            }
            row.timeTick = query.value(8).toLongLong();
            line += extraColumns(row);
        }
        file.write(line.toLocal8Bit() + LineEnd);
    }
    if (query.lastError().isValid()) {
        file.cancelWriting();
        *error = failure(path, query.lastError().text());
        return false;
    }
    if (!file.commit()) {
        *error = failure(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace qle
