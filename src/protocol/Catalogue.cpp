#include "Catalogue.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace qle {

bool ReadCatalogue(const QSqlDatabase &db, QList<CatalogueRow> *rows, QString *error)
{
    rows->clear();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec("select * from data1")) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        CatalogueRow row;
        const int count = query.record().count();
        for (int i = 0; i < count; ++i)
            row.columns.append(query.value(i));
        rows->append(row);
    }
    return true;
}

const CatalogueRow *FindCatalogueRow(const QList<CatalogueRow> &rows, const QString &mtype)
{
    for (const CatalogueRow &row : rows) {
        if (row.mtype() == mtype)
            return &row;
    }
    return nullptr;
}

int ChannelCountOfLayout(int layout)
{
    switch (layout) {
    case 1:
        return 3;
    case 3:
        return 2;
    default:
        return 1;
    }
}

} // namespace qle
