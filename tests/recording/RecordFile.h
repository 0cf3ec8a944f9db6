#pragma once

#include "platform/SqliteFile.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantList>

namespace qle::testing {

// A private copy of the shipped mtype.mdb, opened in WAL mode as the shell
// opens it, on a connection of its own. Declare it before anything that uses
// the connection.
class RecordFile {
public:
    RecordFile() : m_name(QStringLiteral("recording-test-%1").arg(++s_files))
    {
        const QString path = m_dir.filePath("mtype.mdb");
        m_ok = QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QString error;
        m_ok = m_ok && sqlite::open(m_name, path, &error);
        m_db = QSqlDatabase::database(m_name);
        m_ok = m_ok && sqlite::enableWriteAheadLog(m_db);
    }
    ~RecordFile()
    {
        m_db = QSqlDatabase();
        sqlite::close(m_name);
    }
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] QSqlDatabase db() const { return m_db; }

    // Runs a statement with bound values; the first column of every result row.
    QVariantList column(const QString &sql, const QVariantList &values = {}) const
    {
        QSqlQuery query(m_db);
        QVariantList result;
        if (!query.prepare(sql)) {
            qWarning() << "prepare failed:" << sql << query.lastError().text();
            return result;
        }
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!query.exec()) {
            qWarning() << "exec failed:" << sql << query.lastError().text();
            return result;
        }
        while (query.next())
            result.append(query.value(0));
        return result;
    }
    // Every column of every result row, as text.
    QList<QStringList> rows(const QString &sql, const QVariantList &values = {}) const
    {
        QSqlQuery query(m_db);
        QList<QStringList> result;
        if (!query.prepare(sql))
            return result;
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!query.exec())
            return result;
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i).toString());
            result.append(row);
        }
        return result;
    }
    qint64 count(const QString &table) const
    {
        const QVariantList n = column("select count(*) from " + table);
        return n.isEmpty() ? -1 : n.first().toLongLong();
    }
    bool exec(const QString &sql, const QVariantList &values = {}) const
    {
        QSqlQuery query(m_db);
        if (!query.prepare(sql))
            return false;
        for (const QVariant &value : values)
            query.addBindValue(value);
        return query.exec();
    }

private:
    static inline int s_files = 0;
    QTemporaryDir m_dir;
    QString m_name;
    QSqlDatabase m_db;
    bool m_ok = false;
};

} // namespace qle::testing
