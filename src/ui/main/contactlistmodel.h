#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QAbstractTableModel>
#include <QStringList>

#include "model/listrow.h"

// The contact list's rows, as a table for the view. Sorting by a column is a
// permutation of view rows over the rows as they were given, so the rows
// themselves never move and a refill costs nothing extra until a heading has
// been clicked.
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

    // Replaces every row in one go; while the list is sorted the new rows are
    // shown in sort order at once.
    void setRows(std::vector<ListRow> rows);
    // The same, the rows first put in name order (the list's own order,
    // whatever order the database delivered them in).
    void setRowsInNameOrder(std::vector<ListRow> rows);
    // The row with that ID text takes new contents, or leaves the list when
    // there are none; false when no row has that ID.
    bool replaceRow(QByteArrayView id, std::optional<ListRow> row);
    // Every row as shown, for work that must not see later changes.
    std::vector<ListRow> shownRows() const;

    // The most characters of one cell the list shows (and its tooltip): a
    // cell of megabytes would freeze every repaint.
    static constexpr qsizetype kShownCharacters = 1000;
    // The row shown at a view position, whatever the order.
    const ListRow& row(int viewRow) const;
    // Where the row shown at viewRow stands among the rows setRows was given.
    int sourceRow(int viewRow) const;

    // The sort state as the list control held it: Sorted, SortKey (the column
    // counted from 0) and SortOrder (0 ascending, 1 descending). Sorting
    // compares the cells as text, letter case ignored, in the collation order
    // of every alphabet: "10" comes before "9". Setting Sorted to true, or the
    // key or order while sorted, re-sorts the rows; setting it to false leaves
    // them where they are. Rows that compare equal keep their shown order.
    bool sorted() const { return mSorted; }
    void setSorted(bool sorted);
    int sortKey() const { return mSortKey; }
    void setSortKey(int column);
    int sortOrder() const { return mSortOrder; }
    void setSortOrder(int order);

    // A click on a column heading; index is the heading's position counted
    // from 1. The first click sorts ascending, a click on the sorted column
    // flips the order, a click on another column sorts it ascending.
    void columnClick(int index);

private:
    void resort();
    std::vector<uint32_t> sortedOrder() const;

    QStringList mHeadings;
    std::vector<ListRow> mRows;
    // View row to source row; empty while the rows show in the given order.
    std::vector<uint32_t> mOrder;
    bool mSorted = false;
    int mSortKey = 0;
    int mSortOrder = 0;
};
