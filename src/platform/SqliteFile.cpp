#include "SqliteFile.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace qle::sqlite {

bool open(const QString &connectionName, const QString &path, QString *error)
{
    close(connectionName);
    if (!QFileInfo::exists(path)) {
        if (error)
            *error = "file not found";
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=2000");
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    return true;
}

bool enableWriteAheadLog(QSqlDatabase &db)
{
    QSqlQuery pragma(db);
    return pragma.exec("PRAGMA journal_mode=WAL") && pragma.exec("PRAGMA synchronous=NORMAL");
}

void close(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

bool isIntact(QSqlDatabase &db, QString *detail)
{
    QSqlQuery check(db);
    if (!check.exec("PRAGMA quick_check")) {
        if (detail)
            *detail = check.lastError().text();
        return false;
    }
    QString first;
    if (check.next())
        first = check.value(0).toString();
    if (detail)
        *detail = first;
    return first == QLatin1String("ok");
}

bool compactInto(QSqlDatabase &db, const QString &target, QString *error)
{
    QSqlQuery vacuum(db);
    vacuum.prepare("VACUUM INTO ?");
    vacuum.addBindValue(target);
    if (!vacuum.exec()) {
        if (error)
            *error = vacuum.lastError().text();
        return false;
    }
    return true;
}

bool rebuildIndexes(const QString &path, QString *error)
{
    const QString name = QStringLiteral("qle-reindex");
    if (!open(name, path, error))
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        QSqlQuery reindex(db);
        ok = reindex.exec("REINDEX");
        if (!ok && error)
            *error = reindex.lastError().text();
        ok = ok && isIntact(db, error);
    }
    close(name);
    return ok;
}

} // namespace qle::sqlite
