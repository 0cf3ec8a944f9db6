#pragma once

#include "CatalogueRow.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace qle {

// The model catalogue (table data1) as the panels and the command line read it.

// Every row, in file order. False with *error set when the table cannot be read.
bool ReadCatalogue(const QSqlDatabase &db, QList<CatalogueRow> *rows, QString *error);

// The first row of `mtype`; nullptr when there is none.
[[nodiscard]] const CatalogueRow *FindCatalogueRow(const QList<CatalogueRow> &rows, const QString &mtype);

// The row that holds the limits of channel `index` (0-based): "MODEL#n" when
// the model's row says it has one row a channel, else the model's own row.
template <typename Find> const CatalogueRow *ChannelCatalogueRow(Find find, const QString &model, int index)
{
    const CatalogueRow *row = find(model);
    if (row && row->perChannel())
        return find(model + "#" + QString::number(index + 1));
    return row;
}

// Outputs of a panel layout: 1 three, 2 one, 3 (the legacy panel) two.
[[nodiscard]] int ChannelCountOfLayout(int layout);

} // namespace qle
