#include "GraphStatistics.h"

#include "GraphFormat.h"
#include "recording/database/RecordDatabase.h"

#include "platform/SqliteRows.h"

#include <algorithm>

namespace qle::graph {

void ColumnExtremes::add(qint64 rowId, QByteArrayView utf8, std::optional<double> value)
{
    if (!value)
        return;
    const bool above = !max || *value > *max || (*value == *max && rowId < maxRow);
    const bool below = !min || *value < *min || (*value == *min && rowId < minRow);
    if (!above && !below)
        return;
    // The text only for a new extreme: most readings are none.
    const QString text = QString::fromUtf8(utf8).trimmed();
    if (above) {
        max = value;
        maxRow = rowId;
        maxText = text;
    }
    if (below) {
        min = value;
        minRow = rowId;
        minText = text;
    }
}

void WorkingExtremes::beginPass()
{
    m_columns = {};
    m_valid = false;
}

void WorkingExtremes::add(int column, qint64 rowId, QByteArrayView utf8, std::optional<double> value)
{
    if (column >= 0 && column < Columns)
        m_columns.at(static_cast<std::size_t>(column)).add(rowId, utf8, value);
}

void WorkingExtremes::endPass(qint64 lastRowId, quint64 generation, const QString &connection)
{
    m_lastRowId = lastRowId;
    m_generation = generation;
    m_connection = connection;
    m_valid = true;
}

bool WorkingExtremes::update(QSqlDatabase db)
{
    const quint64 generation = RecordDatabase::workingTableGeneration();
    if (!m_valid || generation != m_generation || db.connectionName() != m_connection) {
        beginPass();
        if (!read(db, 0))
            return false;
        endPass(m_lastRowId, generation, db.connectionName());
        return true;
    }
    if (read(db, m_lastRowId))
        return true;
    m_valid = false;
    return false;
}

// Rows above afterRowId, in rowid order; m_lastRowId follows them.
bool WorkingExtremes::read(QSqlDatabase db, qint64 afterRowId)
{
    m_lastRowId = afterRowId;
    sqlite::Rows rows(db,
                      "select rowid,pval,sval,pval2,sval2,pval3,sval3 from datatemp where rowid > ? order by rowid");
    rows.bind(1, afterRowId);
    while (rows.next()) {
        const qint64 rowId = rows.integer(0);
        for (int i = 0; i < Columns; ++i) {
            const QByteArrayView text = rows.text(i + 1);
            add(i, rowId, text, readingValue(text));
        }
        m_lastRowId = rowId;
    }
    return rows.isValid() && !rows.error().isValid();
}

QStringList statisticsLines(const WorkingExtremes &extremes, int channels, int timeSlice, qint32 points)
{
    QStringList lines;
    const qint64 elapsed = qint64{timeSlice} * (points - 1);
    lines.append(QStringLiteral("Total Time:") + (points == 0 ? QStringLiteral("0d 0:0:0") : FormatTotalTime(elapsed)));
    lines.append(QStringLiteral("Time Slice: ") + QString::number(timeSlice) + QStringLiteral("sec"));
    lines.append(QStringLiteral("Samples: ") + QString::number(points == 0 ? 0 : points - 1));

    channels = std::clamp(channels, 1, 3);
    for (int ch = 0; ch < channels; ++ch) {
        const ColumnExtremes &volts = extremes.column(2 * ch);
        const ColumnExtremes &amps = extremes.column(2 * ch + 1);
        const QString prefix = QStringLiteral("CH%1 ").arg(ch + 1);
        lines.append(prefix + QStringLiteral("Max:") + volts.maxText + QStringLiteral("V ") + amps.maxText +
                     QLatin1Char('A'));
        lines.append(prefix + QStringLiteral("Min:") + volts.minText + QStringLiteral("V ") + amps.minText +
                     QLatin1Char('A'));
    }
    return lines;
}

QStringList statisticsLines(QSqlDatabase db, int channels, int timeSlice, qint32 points)
{
    WorkingExtremes extremes;
    extremes.update(db);
    return statisticsLines(extremes, channels, timeSlice, points);
}

} // namespace qle::graph
