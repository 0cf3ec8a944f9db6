#pragma once

#include <QSqlDatabase>
#include <QString>

namespace qle::sqlite {

// Opens (or reopens) the named connection on an existing SQLite file. The
// file must exist: a missing file is not created. Nothing is written yet.
bool open(const QString &connectionName, const QString &path, QString *error);
// WAL mode with synchronous=NORMAL: a row is durable once its statement is
// done, and a crash never damages the file.
bool enableWriteAheadLog(QSqlDatabase &db);
void close(const QString &connectionName);

// "ok" from SQLite's quick check; false also when the file is not a database.
bool isIntact(QSqlDatabase &db, QString *detail);

// Writes a compacted, rebuilt copy of the database to target (VACUUM INTO).
bool compactInto(QSqlDatabase &db, const QString &target, QString *error);

// Rebuilds every index of the file at path and checks the result.
bool rebuildIndexes(const QString &path, QString *error);

} // namespace qle::sqlite
