#pragma once

#include <QString>
#include <QStringList>

namespace qle {

// Brings the models of a newer shipped catalogue into the user's mtype.mdb:
// every data1 row of the shipped catalogue whose MTYPE the user's data1 does
// not hold is copied over. Rows the user already has (even edited ones), the
// records and every other table are left as they are. Columns are matched by
// name; a column only one side has is left out (the user's gets its default).
// The shipped file is only read. All rows go in one transaction: on any
// failure nothing is written.
class CatalogueUpgrade {
public:
    struct Result {
        bool ok = false;
        QStringList added; // MTYPE of each row copied, in the shipped file's order
        QString error;
    };

    static Result addMissingModels(const QString &userCatalogue, const QString &shippedCatalogue);
};

} // namespace qle
