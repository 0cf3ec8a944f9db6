#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace qle {

// One row of the model catalogue, addressed by column position.
struct CatalogueRow {
    QVariantList columns;

    [[nodiscard]] QVariant column(int index) const { return columns.value(index); }
    [[nodiscard]] QString mtype() const { return column(0).toString(); }
    // An empty value counts as false.
    [[nodiscard]] bool offered() const { return column(1).toInt() != 0; }
    [[nodiscard]] int layout() const { return column(2).toInt(); }
    [[nodiscard]] bool perChannel() const { return column(3).toInt() != 0; }
};

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
