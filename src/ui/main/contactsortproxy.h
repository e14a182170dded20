#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractProxyModel>

#include "model/listrow.h"

class ContactRows;

// The order the contact list shows its rows in: the rows' own (name) order
// until a column is sorted, then that column's, compared as text with letter
// case ignored, in the collation order of every alphabet ("10" before "9").
// Rows that compare equal keep the order they were shown in, so sorting by
// one column and then another orders by both. The order is a permutation of
// the rows' positions, made by the collation sort over the column's keys;
// pairwise comparisons would cost a collation each.
class ContactSortProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit ContactSortProxy(ContactRows& rows, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

    // Sorts the rows by column (-1: the rows' own order). Every call sorts
    // anew, even when neither changes; the selection and the current row
    // follow their contacts.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // A click on a column heading, counted from 1: the first click sorts up,
    // a click on the sorted column flips the order, a click on another
    // column sorts it up.
    void columnClick(int index);
    int sortColumn() const { return mColumn; }
    Qt::SortOrder sortOrder() const { return mOrderOfSort; }

    // The rows' position of the row shown at viewRow; throws for a row the
    // list does not have.
    int sourceRow(int viewRow) const;
    // Every row as shown, for work that must not see later changes.
    std::vector<ListRow> shownRows() const;

private:
    void resort();
    std::vector<uint32_t> sortedOrder() const;
    void rebuildViewOf();
    int viewRowOf(int source) const;

    ContactRows& mRows;
    // View row to the rows' position, and back; both empty while the rows
    // show in their own order.
    std::vector<uint32_t> mOrder;
    std::vector<uint32_t> mViewOf;
    int mColumn = -1;
    Qt::SortOrder mOrderOfSort = Qt::AscendingOrder;
    int mRemoving = -1;
};
