#include "DataForm.h"

#include "protocol/Catalogue.h"

#include "platform/DataFolder.h"
#include "platform/SqliteFile.h"
#include "platform/Trace.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace qle {

DataForm::DataForm(QObject *parent) : QObject(parent)
{
}

DataForm::~DataForm()
{
    sqlite::close(ConnectionName);
}

QString DataForm::filePath() const
{
    return QDir(m_folder).filePath(DataFolder::CatalogueFileName);
}

DataForm::OpenResult DataForm::open(const QString &folder, const QString &shippedCatalogue)
{
    m_folder = folder;
    m_shipped = shippedCatalogue;
    m_rows.clear();
    if (!QFileInfo::exists(filePath()))
        return OpenResult::Missing;
    if (openAndRead())
        return OpenResult::Ok;
    Trace("catalogue damaged: " + m_error);
    if (repair() && openAndRead())
        return OpenResult::Ok;
    return OpenResult::Unrepairable;
}

bool DataForm::openAndRead()
{
    m_rows.clear();
    if (!sqlite::open(ConnectionName, filePath(), &m_error))
        return false;
    QSqlDatabase db = QSqlDatabase::database(ConnectionName);
    QString detail;
    if (!sqlite::isIntact(db, &detail)) {
        m_error = detail;
        return false;
    }
    sqlite::enableWriteAheadLog(db);
    return ReadCatalogue(db, &m_rows, &m_error);
}

const CatalogueRow *DataForm::findFirst(const QString &mtype) const
{
    return FindCatalogueRow(m_rows, mtype);
}

// Dated backup of the damaged file, a compacted copy as mtypenew.mdb, and the
// copy put in place of the original. When SQLite cannot read the file at all,
// the shipped catalogue takes its place; the backup keeps the original.
bool DataForm::repair()
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    const QDir dir(m_folder);
    const QString original = filePath();
    const QString backup = dir.filePath("mtype" + QDate::currentDate().toString("yyyyMMdd") + ".mdb");
    const QString repaired = dir.filePath("mtypenew.mdb");

    if (db.isOpen()) {
        // Fold any write-ahead log into the file before it is copied.
        QSqlQuery(db).exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    QFile::remove(backup);
    QFile::copy(original, backup);
    QFile::remove(repaired);

    bool compacted = db.isOpen() && sqlite::compactInto(db, repaired, &m_error);
    sqlite::close(ConnectionName);
    // The compacted copy keeps the indexes as they were: rebuild them.
    compacted = compacted && sqlite::rebuildIndexes(repaired, &m_error);
    if (!compacted) {
        Trace("catalogue compaction failed: " + m_error);
        QFile::remove(repaired);
        if (m_shipped.isEmpty() || !QFile::copy(m_shipped, repaired))
            return false;
        QFile::setPermissions(repaired, QFile::ReadOwner | QFile::WriteOwner);
    }
    QFile::remove(original + "-wal");
    QFile::remove(original + "-shm");
    QFile::remove(original);
    return QFile::copy(repaired, original);
}

} // namespace qle
