#include "ui/main/contactlistmodel.h"

#include "app/apperror.h"

int ContactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(mRows.size());
}

int ContactListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(mHeadings.size());
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= static_cast<int>(ListRow::size()))
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return row(index.row())[static_cast<size_t>(index.column())];
    return QVariant();
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) &&
        section >= 0 && section < mHeadings.size())
        return mHeadings[section];
    return QVariant();
}

void ContactListModel::addColumn(const QString& heading)
{
    const int at = static_cast<int>(mHeadings.size());
    beginInsertColumns(QModelIndex(), at, at);
    mHeadings << heading;
    endInsertColumns();
}

void ContactListModel::setRows(std::vector<ListRow> rows)
{
    beginResetModel();
    mRows = std::move(rows);
    endResetModel();
}

const ListRow& ContactListModel::row(int viewRow) const
{
    if (viewRow < 0 || viewRow >= static_cast<int>(mRows.size()))
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    return mRows[static_cast<size_t>(viewRow)];
}
