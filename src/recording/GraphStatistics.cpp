#include "GraphStatistics.h"

#include "GraphFormat.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <array>
#include <optional>

namespace qle::graph {
namespace {

// The largest and smallest reading of one column, with the text it was
// stored as; the first row of equal values wins.
struct Extremes {
    std::optional<double> max;
    std::optional<double> min;
    QString maxText;
    QString minText;

    void add(const QString &text)
    {
        const std::optional<double> value = readingValue(text);
        if (!value)
            return;
        if (!max || *value > *max) {
            max = value;
            maxText = text.trimmed();
        }
        if (!min || *value < *min) {
            min = value;
            minText = text.trimmed();
        }
    }
};

QString columns(int channels)
{
    static const char *const Names[6] = {"pval", "sval", "pval2", "sval2", "pval3", "sval3"};
    QStringList names;
    for (int i = 0; i < 2 * channels; ++i)
        names.append(QString::fromLatin1(Names[i]));
    return names.join(QLatin1Char(','));
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
    std::array<Extremes, 6> extremes;
    if (db.isOpen()) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (query.prepare(QStringLiteral("SELECT ") + columns(channels) + QStringLiteral(" from datatemp")) &&
            query.exec())
            while (query.next())
                for (int i = 0; i < 2 * channels; ++i)
                    extremes[static_cast<std::size_t>(i)].add(query.value(i).toString());
    }
    for (int ch = 0; ch < channels; ++ch) {
        const Extremes &volts = extremes[static_cast<std::size_t>(2 * ch)];
        const Extremes &amps = extremes[static_cast<std::size_t>(2 * ch + 1)];
        const QString prefix = QStringLiteral("CH%1 ").arg(ch + 1);
        lines.append(prefix + QStringLiteral("Max:") + volts.maxText + QStringLiteral("V ") + amps.maxText +
                     QLatin1Char('A'));
        lines.append(prefix + QStringLiteral("Min:") + volts.minText + QStringLiteral("V ") + amps.minText +
                     QLatin1Char('A'));
    }
    return lines;
}

} // namespace qle::graph
