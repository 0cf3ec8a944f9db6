#pragma once

#include <QSqlDatabase>
#include <QStringList>

namespace qle::graph {

// The lines of the graph's statistics list: the total time and time slice of
// `points` points `timeSlice` seconds apart, the number of samples, then per
// channel (1 to `channels`) the largest and smallest voltage and current of
// the working table, read in one pass, each shown as the text it was stored
// as. Values are compared as numbers, so 10.2 is above 9.5; blank and
// unreadable cells are left out. A column with no reading leaves its place
// empty, as when the table holds no row.
QStringList statisticsLines(QSqlDatabase db, int channels, int timeSlice, qint32 points);

} // namespace qle::graph
