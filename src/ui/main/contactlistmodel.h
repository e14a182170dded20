#pragma once

#include <array>
#include <vector>

#include <QAbstractTableModel>
#include <QStringList>

#include "ui/main/listrow.h"


class ContactListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void addColumn(const QString& heading);
    QStringList headings() const { return mHeadings; }

    // Replaces every row in one go.
    void setRows(std::vector<ListRow> rows);
    // The row shown at a view position.
    const ListRow& row(int viewRow) const;

private:
    QStringList mHeadings;
    std::vector<ListRow> mRows;
};
