#pragma once

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QSqlError>

struct sqlite3;
struct sqlite3_stmt;

namespace qle::sqlite {

// A statement run on the SQLite connection of an open QSQLITE database,
// its rows read straight from SQLite: texts as the UTF-8 bytes stored,
// integers as integers, with no variant and no UTF-16 copy of each value.
// Meant for reads of many rows (a day of recorded rows is read several
// times faster than through QSqlQuery). It runs inside the connection's
// transaction like any query of that connection. Qt's driver and this
// reader use the one SQLite library of the system.
class Rows {
public:
    Rows(const QSqlDatabase &db, const char *sql);
    ~Rows();
    Rows(const Rows &) = delete;
    Rows &operator=(const Rows &) = delete;

    // False when the statement could not be made (error() says why).
    [[nodiscard]] bool isValid() const { return m_statement != nullptr; }
    bool bind(int position, qint64 value); // positions count from 1
    bool bind(int position, QByteArrayView utf8);
    // The next row; false after the last one or on an error, which error()
    // then describes.
    bool next();

    [[nodiscard]] bool isNull(int column) const;
    [[nodiscard]] qint64 integer(int column) const;
    // Valid until the next call of next(); empty for NULL.
    [[nodiscard]] QByteArrayView text(int column) const;

    [[nodiscard]] const QSqlError &error() const { return m_error; }

private:
    void fail(const QString &what, int code);

    sqlite3 *m_connection = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    QSqlError m_error;
};

} // namespace qle::sqlite
