#pragma once

#include <QString>

#include <array>

namespace qle {

// One sample row of a recording, as the working table and the grid hold it.
struct RecordRow {
    qint64 seqNo = 0;
    QString recTime;             // "YYYY/MM/DD HH:MM:SS"
    std::array<QString, 3> pval; // voltage text per channel, as the panel showed it
    std::array<QString, 3> sval; // current text per channel
    std::array<QString, 3> reason;
    QString comment;
    qint64 timeTick = 0;     // seconds since the first row
    qint64 diffLastTime = 0; // whole seconds since the previous row
};

// The header row of a saved record (datamain).
struct RecordHeader {
    QString recNo;
    QString startTime;
    QString endTime;
    QString comment;
    QString pUnit = QStringLiteral("V");
    QString sUnit = QStringLiteral("A");
    QString recStyle;  // record-scale setting at saving time
    QString showStyle; // graph window's time-length position at saving time
};

} // namespace qle
