#pragma once

#include "recording/database/PackedRecordRow.h"

#include <QAbstractTableModel>
#include <QList>

#include <vector>

namespace qle {

// The recorder's grid: one line per row, columns "取樣次數", "取樣Time", then
// voltage, current and condition per channel, and the comment last. Rows are
// served from memory, so the view costs the same for 30 rows as for 33,000.
class RecordTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordTableModel(QObject *parent = nullptr);

    // New header for 1 to 3 channels; the grid is then empty.
    void setChannels(int channels);
    [[nodiscard]] int channels() const { return m_channels; }
    [[nodiscard]] int commentColumn() const { return columnCount() - 1; }

    // A row written by the recorder: blue on light yellow.
    void appendRow(const PackedRecordRow &row);
    // Room for `count` rows, for a recording whose length is known.
    void reserveRows(qsizetype count);
    // Rows read back from the working table, in the grid's plain colours.
    void setRows(QList<PackedRecordRow> rows);
    void clearRows();

    [[nodiscard]] const PackedRecordRow &row(int index) const { return m_rows.at(index); }
    void setComment(int index, const QString &comment);

    // Cells 1 to 4 of the selected row are black on pink; -1 selects none.
    void setSelectedRow(int index);
    [[nodiscard]] int selectedRow() const { return m_selected; }

    [[nodiscard]] static QString headerText(int column, int channels);
    [[nodiscard]] QString cellText(int index, int column) const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void emitRowChanged(int index);

    int m_channels = 1;
    QList<PackedRecordRow> m_rows;
    std::vector<bool> m_coloured;
    int m_selected = -1;
};

} // namespace qle
