#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include "model/listrow.h"

// The contact list's rows, as a table for the view. Sorting by a column is a
// permutation of view rows over the rows as they were given, so the rows
// themselves never move and a refill costs nothing extra until a heading has
// been clicked.
//
// A row may hold only its first columns (the ID and the name): a hundred
// thousand whole contacts would take more memory than the rest of the
// program. The other cells come from the source when they are shown, a few
// hundred rows kept at a time, and a sort by such a column reads that one
// column of every contact.
class ContactListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Where the cells that the rows do not hold come from.
    class Source {
    public:
        virtual ~Source() = default;
        // The whole row of that ID as it is stored now; nothing when there
        // is none or it cannot be read.
        virtual std::optional<ListRow> row(QByteArrayView id) = 0;
        // Every stored contact's ID and its text in one field's column (the
        // ID column itself every row holds), in ID order.
        virtual void column(size_t column, const std::function<void(qint64 id, QByteArrayView text)>& take) = 0;
    };

    using QAbstractTableModel::QAbstractTableModel;
    ~ContactListModel() override;

    void setSource(Source* source) { mSource = source; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Rows can be dragged out (as vCards); without the flag the view never
    // starts a drag.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

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
    // Puts the row (new, or the new contents of one with its ID) where its
    // name belongs, or takes the row of that ID away; other rows stay as
    // they are, and so does a selection.
    void placeRow(ListRow row);
    void removeRow(QByteArrayView id);
    // Every row as shown, for work that must not see later changes.
    std::vector<ListRow> shownRows() const;

    // The text of one cell, from the source when the row does not hold it.
    QString cell(int viewRow, size_t column) const;
    // The same as UTF-8, valid until the list changes or other rows are read.
    QByteArrayView cellUtf8(int viewRow, size_t column) const;

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
    // Every row's text in a column, in the rows' order.
    std::function<QByteArrayView(size_t)> columnReader(size_t column) const;
    const ListRow* wholeRow(const ListRow& row) const;
    int sourceIndexOf(QByteArrayView id) const;
    int viewRowOf(int source) const;

    QStringList mHeadings;
    std::vector<ListRow> mRows;
    // Each row's key, in the rows' order: finding a row by its key then reads
    // one small array instead of every row.
    std::vector<qint64> mIds;
    Source* mSource = nullptr;
    // Whole rows read from the source, by ID; forgotten when many are held.
    mutable QHash<QByteArray, ListRow> mWhole;
    // The fewest columns any row holds (rows read whole hold them all);
    // a removed row may leave it lower than it is, which costs a read only.
    size_t mFewestHeld = ListRow::size();
    // A column read from the source for sorting, in the rows' order.
    mutable size_t mReadColumn = SIZE_MAX;
    mutable std::vector<QByteArray> mReadTexts;
    // View row to source row; empty while the rows show in the given order.
    std::vector<uint32_t> mOrder;
    bool mSorted = false;
    int mSortKey = 0;
    int mSortOrder = 0;
};
