#pragma once

#include <QString>

namespace qle {

// Where the program keeps mtype.mdb: the folder given on the command line;
// otherwise beside the executable when that folder is writable; otherwise the
// per-user data folder. The last two are seeded from the shipped catalogue
// when they hold no mtype.mdb yet.
class DataFolder {
public:
    static constexpr const char *CatalogueFileName = "mtype.mdb";

    struct Choice {
        QString folder;
        bool seeded = false; // the shipped catalogue was copied there now
    };

    static Choice resolve(const QString &overrideDir, const QString &executableDir, const QString &perUserDir,
                          const QString &shippedCatalogue);

    // The shipped catalogue: share/qle/mtype.mdb next to the program's bin/
    // folder, as installed and as built.
    static QString shippedCatalogue(const QString &executableDir);
};

} // namespace qle
