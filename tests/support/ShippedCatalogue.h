#pragma once

#include "instrument/Instrument.h"
#include "protocol/Catalogue.h"

#include <QSqlDatabase>

namespace qle::testing {

// The shipped model catalogue, read once, for instruments to take a model.
inline const QList<CatalogueRow> &shippedCatalogue()
{
    static const QList<CatalogueRow> rows = [] {
        QList<CatalogueRow> read;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "shipped-catalogue");
            db.setDatabaseName(QStringLiteral(QLE_SHIPPED_CATALOGUE));
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
            QString error;
            if (!db.open() || !ReadCatalogue(db, &read, &error))
                qWarning("catalogue not read: %s", qPrintable(error));
        }
        QSqlDatabase::removeDatabase("shipped-catalogue");
        return read;
    }();
    return rows;
}

inline Instrument::CatalogueLookup catalogueLookup()
{
    return [](const QString &mtype) { return FindCatalogueRow(shippedCatalogue(), mtype); };
}

} // namespace qle::testing
