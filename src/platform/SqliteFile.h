#pragma once

#include <QSqlDatabase>
#include <QString>

namespace qle::sqlite {

// Opens (or reopens) the named connection on an existing SQLite file, in WAL
// mode with synchronous=NORMAL, so a row is durable once its statement is done.
// The file must exist: a missing file is not created.
bool open(const QString &connectionName, const QString &path, QString *error);
void close(const QString &connectionName);

// "ok" from SQLite's quick check; false also when the file is not a database.
bool isIntact(QSqlDatabase &db, QString *detail);

// Writes a compacted, rebuilt copy of the database to target (VACUUM INTO).
bool compactInto(QSqlDatabase &db, const QString &target, QString *error);

} // namespace qle::sqlite
