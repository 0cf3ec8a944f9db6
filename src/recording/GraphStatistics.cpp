#include "GraphStatistics.h"

#include "GraphFormat.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace qle::graph {
namespace {

// The largest and smallest voltage and current of each channel in one pass
// over the working table, compared as numbers; empty cells are left out.
// Only fixed column names vary.
QString statement(int channels)
{
    const char *const columns[3][2] = {{"pval", "sval"}, {"pval2", "sval2"}, {"pval3", "sval3"}};
    QStringList values;
    for (int ch = 0; ch < channels; ++ch) {
        for (const char *column : columns[ch]) {
            const QString number = QStringLiteral("CASE WHEN %1<>'' THEN CAST(%1 AS REAL) END").arg(column);
            values.append(QStringLiteral("max(") + number + QLatin1Char(')'));
            values.append(QStringLiteral("min(") + number + QLatin1Char(')'));
        }
    }
    return QStringLiteral("SELECT ") + values.join(QLatin1Char(',')) + QStringLiteral(" from datatemp");
}

QString valueText(const QVariant &value)
{
    return value.isNull() ? QString() : numberText(value.toDouble());
}

} // namespace

QStringList statisticsLines(QSqlDatabase db, int channels, int timeSlice, qint32 points)
{
    QStringList lines;
    const qint64 elapsed = qint64{timeSlice} * (points - 1);
    lines.append(QStringLiteral("Total Time:") + (points == 0 ? QStringLiteral("0d 0:0:0") : FormatTotalTime(elapsed)));
    lines.append(QStringLiteral("Time Slice: ") + QString::number(timeSlice) + QStringLiteral("sec"));
    lines.append(QStringLiteral("Samples: ") + QString::number(points == 0 ? 0 : points - 1));

    channels = std::clamp(channels, 1, 3);
    QVariantList values;
    if (db.isOpen()) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.prepare(statement(channels)) && query.exec() && query.next())
            for (int i = 0; i < 4 * channels; ++i)
                values.append(query.value(i));
    }
    for (int ch = 0; ch < channels; ++ch) {
        // Per channel: max V, min V, max A, min A.
        const auto value = [&](int which) { return valueText(values.value(4 * ch + which)); };
        const QString prefix = QStringLiteral("CH%1 ").arg(ch + 1);
        lines.append(prefix + QStringLiteral("Max:") + value(0) + QStringLiteral("V ") + value(2) + QLatin1Char('A'));
        lines.append(prefix + QStringLiteral("Min:") + value(1) + QStringLiteral("V ") + value(3) + QLatin1Char('A'));
    }
    return lines;
}

} // namespace qle::graph
