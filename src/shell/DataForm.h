#pragma once

#include "protocol/CatalogueRow.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace qle {

// Holds the catalogue database open for the whole run, on the connection the
// record tables share.
class DataForm final : public QObject {
    Q_OBJECT
public:
    static constexpr const char *ConnectionName = "mtype";

    enum class OpenResult { Ok, Missing, Unrepairable };

    explicit DataForm(QObject *parent = nullptr);
    ~DataForm() override;

    // Opens folder/mtype.mdb and reads "select * from data1"; a damaged file is
    // repaired (dated backup, compacted copy) and the step tried again.
    OpenResult open(const QString &folder, const QString &shippedCatalogue = {});

    [[nodiscard]] const QList<CatalogueRow> &MyRec() const { return m_rows; }
    [[nodiscard]] const CatalogueRow *findFirst(const QString &mtype) const;
    [[nodiscard]] QString folder() const { return m_folder; }
    [[nodiscard]] QString filePath() const;
    [[nodiscard]] QString lastError() const { return m_error; }

private:
    bool openAndRead();
    bool repair();

    QString m_folder;
    QString m_shipped;
    QString m_error;
    QList<CatalogueRow> m_rows;
};

} // namespace qle
