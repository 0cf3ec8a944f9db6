#include "CatalogueUpgrade.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

namespace qle {
namespace {

const QString ModelTable = QStringLiteral("data1");
const QString ModelKey = QStringLiteral("MTYPE");

QString quoted(QString identifier)
{
    return QLatin1Char('"') + identifier.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString uniqueConnectionName(const char *role)
{
    static QAtomicInteger<quint32> counter;
    return QStringLiteral("qle-catalogue-upgrade-%1-%2").arg(QLatin1String(role)).arg(counter.fetchAndAddRelaxed(1));
}

// The named connection, removed again when this goes out of scope.
class Connection {
public:
    Connection(const char *role, const QString &path, bool readOnly) : m_name(uniqueConnectionName(role))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                      : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    }
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

// Column names of data1 in their declared order; empty when there is no such table.
bool modelColumns(QSqlDatabase db, QStringList *columns, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(ModelTable)))) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        columns->append(query.value(1).toString());
    return true;
}

} // namespace

CatalogueUpgrade::Result CatalogueUpgrade::addMissingModels(const QString &userCatalogue,
                                                            const QString &shippedCatalogue)
{
    Result result;
    const QFileInfo userInfo(userCatalogue);
    const QFileInfo shippedInfo(shippedCatalogue);
    if (!userInfo.isFile()) {
        result.error = QStringLiteral("no catalogue at ") + userCatalogue;
        return result;
    }
    if (!shippedInfo.isFile()) {
        result.error = QStringLiteral("no shipped catalogue at ") + shippedCatalogue;
        return result;
    }
    if (userInfo.canonicalFilePath() == shippedInfo.canonicalFilePath()) {
        result.ok = true;
        return result;
    }

    const Connection shippedConnection("shipped", shippedCatalogue, true);
    const Connection userConnection("user", userCatalogue, false);
    QSqlDatabase shipped = shippedConnection.db();
    QSqlDatabase user = userConnection.db();
    if (!shipped.open()) {
        result.error = QStringLiteral("shipped catalogue: ") + shipped.lastError().text();
        return result;
    }
    if (!user.open()) {
        result.error = QStringLiteral("catalogue: ") + user.lastError().text();
        return result;
    }

    QStringList shippedColumns;
    QStringList userColumns;
    if (!modelColumns(shipped, &shippedColumns, &result.error) || !modelColumns(user, &userColumns, &result.error))
        return result;
    if (!shippedColumns.contains(ModelKey)) {
        result.error = QStringLiteral("the shipped catalogue has no data1 table with an MTYPE column");
        return result;
    }
    if (!userColumns.contains(ModelKey)) {
        result.error = QStringLiteral("the catalogue has no data1 table with an MTYPE column");
        return result;
    }
    QStringList common;
    for (const QString &column : shippedColumns) {
        if (userColumns.contains(column))
            common.append(column);
    }
    const int keyIndex = int(common.indexOf(ModelKey));

    QSet<QString> present;
    {
        QSqlQuery query(user);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT %1 FROM %2").arg(quoted(ModelKey), quoted(ModelTable)))) {
            result.error = query.lastError().text();
            return result;
        }
        while (query.next())
            present.insert(query.value(0).toString());
    }

    QStringList quotedColumns;
    for (const QString &column : common)
        quotedColumns.append(quoted(column));
    QVector<QVector<QVariant>> missing;
    {
        QSqlQuery query(shipped);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                            .arg(quotedColumns.join(QStringLiteral(", ")), quoted(ModelTable)))) {
            result.error = query.lastError().text();
            return result;
        }
        while (query.next()) {
            const QVariant key = query.value(keyIndex);
            if (key.isNull() || present.contains(key.toString()))
                continue;
            present.insert(key.toString());
            QVector<QVariant> row;
            for (int i = 0; i < common.size(); ++i)
                row.append(query.value(i));
            missing.append(row);
        }
    }
    if (missing.isEmpty()) {
        result.ok = true;
        return result;
    }

    if (!user.transaction()) {
        result.error = user.lastError().text();
        return result;
    }
    QStringList added;
    {
        QSqlQuery insert(user);
        QStringList placeholders;
        for (int i = 0; i < common.size(); ++i)
            placeholders.append(QStringLiteral("?"));
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quoted(ModelTable), quotedColumns.join(QStringLiteral(", ")),
                                     placeholders.join(QStringLiteral(", "))))) {
            result.error = insert.lastError().text();
            user.rollback();
            return result;
        }
        for (const QVector<QVariant> &row : missing) {
            for (int i = 0; i < row.size(); ++i)
                insert.bindValue(i, row.at(i));
            if (!insert.exec()) {
                result.error = insert.lastError().text();
                insert.finish();
                user.rollback();
                return result;
            }
            added.append(row.at(keyIndex).toString());
        }
    }
    if (!user.commit()) {
        result.error = user.lastError().text();
        user.rollback();
        return result;
    }
    result.ok = true;
    result.added = added;
    return result;
}

} // namespace qle
