#include "SqliteRows.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace qle::sqlite {

Rows::Rows(const QSqlDatabase &db, const char *sql)
{
    const QVariant handle = db.isOpen() && db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        m_error = QSqlError(QStringLiteral("Unable to execute statement"), QStringLiteral("no open SQLite database"),
                            QSqlError::ConnectionError);
        return;
    }
    m_connection = *static_cast<sqlite3 *const *>(handle.constData());
    const int code = sqlite3_prepare_v2(m_connection, sql, -1, &m_statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        fail(QStringLiteral("Unable to execute statement"), code);
    }
}

Rows::~Rows()
{
    sqlite3_finalize(m_statement);
}

void Rows::fail(const QString &what, int code)
{
    m_error = QSqlError(what, m_connection ? QString::fromUtf8(sqlite3_errmsg(m_connection)) : QString(),
                        QSqlError::StatementError, QString::number(code));
}

bool Rows::bind(int position, qint64 value)
{
    const int code = m_statement ? sqlite3_bind_int64(m_statement, position, value) : SQLITE_MISUSE;
    if (code != SQLITE_OK)
        fail(QStringLiteral("Unable to bind parameters"), code);
    return code == SQLITE_OK;
}

bool Rows::bind(int position, QByteArrayView utf8)
{
    const int code = m_statement ? sqlite3_bind_text(m_statement, position, utf8.data() ? utf8.data() : "",
                                                     static_cast<int>(utf8.size()), SQLITE_TRANSIENT)
                                 : SQLITE_MISUSE;
    if (code != SQLITE_OK)
        fail(QStringLiteral("Unable to bind parameters"), code);
    return code == SQLITE_OK;
}

bool Rows::next()
{
    if (!m_statement)
        return false;
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code != SQLITE_DONE)
        fail(QStringLiteral("Unable to fetch row"), code);
    return false;
}

bool Rows::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 Rows::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QByteArrayView Rows::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return bytes ? QByteArrayView(bytes, sqlite3_column_bytes(m_statement, column)) : QByteArrayView();
}

} // namespace qle::sqlite
