#include "RecordTableModel.h"

#include <QColor>

#include <algorithm>

namespace qle {
namespace {

const QColor RowText(0, 0, 255);
const QColor RowBack(255, 255, 192);
const QColor SelectedText(0, 0, 0);
const QColor SelectedBack(255, 192, 255);

bool isHighlightedCell(int column)
{
    return column >= 1 && column <= 4;
}

} // namespace

RecordTableModel::RecordTableModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void RecordTableModel::setChannels(int channels)
{
    beginResetModel();
    m_channels = std::clamp(channels, 1, 3);
    m_rows.clear();
    m_coloured.clear();
    m_selected = -1;
    endResetModel();
}

void RecordTableModel::appendRow(const PackedRecordRow &row)
{
    const int at = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.append(row);
    m_coloured.push_back(true);
    endInsertRows();
}

void RecordTableModel::reserveRows(qsizetype count)
{
    m_rows.reserve(count);
    m_coloured.reserve(static_cast<std::size_t>(std::max<qsizetype>(count, 0)));
}

void RecordTableModel::setRows(QList<PackedRecordRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_coloured.assign(static_cast<std::size_t>(m_rows.size()), false);
    m_selected = -1;
    endResetModel();
}

void RecordTableModel::clearRows()
{
    setRows({});
}

void RecordTableModel::setComment(int index, const QString &comment)
{
    if (index < 0 || index >= m_rows.size())
        return;
    m_rows[index].setComment(comment);
    const QModelIndex cell = this->index(index, commentColumn());
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void RecordTableModel::setSelectedRow(int index)
{
    const int previous = m_selected;
    if (previous >= 0 && previous < m_rows.size())
        m_coloured[static_cast<std::size_t>(previous)] = true;
    m_selected = index >= 0 && index < m_rows.size() ? index : -1;
    emitRowChanged(previous);
    emitRowChanged(m_selected);
}

void RecordTableModel::emitRowChanged(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1),
                     {Qt::ForegroundRole, Qt::BackgroundRole});
}

QString RecordTableModel::headerText(int column, int channels)
{
    if (column == 0)
        return QStringLiteral("取樣次數");
    if (column == 1)
        return QStringLiteral("取樣Time");
    if (column == 2 + 3 * channels)
        return QStringLiteral("    註    解   ");
    const int channel = (column - 2) / 3 + 1;
    static const char *const Kinds[] = {"Voltage[V]", "Current[A]", "取樣條件"};
    return QStringLiteral("CH") + QString::number(channel) + QLatin1Char(':') +
           QString::fromUtf8(Kinds[(column - 2) % 3]);
}

QString RecordTableModel::cellText(int index, int column) const
{
    const PackedRecordRow &r = m_rows.at(index);
    if (column == 0)
        return QString::number(r.seqNo());
    if (column == 1)
        return r.recTime();
    if (column == commentColumn())
        return r.comment();
    const int channel = (column - 2) / 3;
    switch ((column - 2) % 3) {
    case 0:
        return r.pval(channel);
    case 1:
        return r.sval(channel);
    default:
        return r.reason(channel);
    }
}

int RecordTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RecordTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3 + 3 * m_channels;
}

QVariant RecordTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const bool selected = index.row() == m_selected && isHighlightedCell(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::ForegroundRole:
        if (selected)
            return SelectedText;
        return m_coloured[static_cast<std::size_t>(index.row())] ? QVariant(RowText) : QVariant();
    case Qt::BackgroundRole:
        if (selected)
            return SelectedBack;
        return m_coloured[static_cast<std::size_t>(index.row())] ? QVariant(RowBack) : QVariant();
    default:
        return {};
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return headerText(section, m_channels);
}

} // namespace qle
