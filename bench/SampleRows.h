#pragma once

#include "recording/database/RecordRow.h"
#include "recording/database/RecordTime.h"

#include <QDateTime>
#include <QString>

#include <cstddef>

namespace qle::bench {

// When the benchmarks' recordings begin.
inline QDateTime sampleStart()
{
    return {QDate(2024, 3, 1), QTime(8, 0, 0)};
}

// Row n of a three-output recording taken once a second from start: readings
// that vary from row to row.
inline RecordRow sampleRow(qint64 n, const QDateTime &start = sampleStart())
{
    RecordRow row;
    row.seqNo = n;
    row.recTime = formatRecordTime(start.addSecs(n));
    for (std::size_t ch = 0; ch < 3; ++ch) {
        row.pval[ch] = QString::number(12.0 + 0.001 * static_cast<double>((n * 7 + ch) % 1000), 'f', 3);
        row.sval[ch] = QString::number(1.0 + 0.001 * static_cast<double>((n * 3 + ch) % 1000), 'f', 3);
    }
    row.timeTick = n;
    row.diffLastTime = n == 0 ? 0 : 1;
    return row;
}

} // namespace qle::bench
