#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QStringList>

#include "model/listrow.h"

// The contact list's rows in name order, as a table; the order a heading
// click asks for is ContactSortProxy's.
//
// A row may hold only its first columns (the ID and the name): a hundred
// thousand whole contacts would take more memory than the rest of the
// program. The other cells come from the source when they are shown, a few
// hundred rows kept at a time. A row that cannot be read is reported once
// (readFailed) and its cells say so, rather than showing as if empty.
class ContactRows : public QAbstractTableModel {
    Q_OBJECT
public:
    // Where the cells that the rows do not hold come from.
    class Source {
    public:
        virtual ~Source() = default;
        // The whole row of that ID as it is stored now; nothing when there
        // is none. Throws when it cannot be read.
        virtual std::optional<ListRow> row(QByteArrayView id) = 0;
        // Every stored contact's ID and its text in one field's column (the
        // ID column itself every row holds), in ID order.
        virtual void column(size_t column, const std::function<void(qint64 id, QByteArrayView text)>& take) = 0;
    };

    using QAbstractTableModel::QAbstractTableModel;
    ~ContactRows() override;

    void setSource(Source* source) { mSource = source; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Rows can be dragged out (as vCards); without the flag a view never
    // starts a drag.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void addColumn(const QString& heading);
    QStringList headings() const { return mHeadings; }

    // Replaces every row in one go, in the order given.
    void setRows(std::vector<ListRow> rows);
    // The same, the rows first put in name order (the list's own order,
    // whatever order the database delivered them in).
    void setRowsInNameOrder(std::vector<ListRow> rows);
    // The row with that ID text takes new contents, or leaves the list when
    // there are none; false when no row has that ID.
    bool replaceRow(QByteArrayView id, std::optional<ListRow> row);
    // Puts the row (new, or the new contents of one with its ID) where its
    // name belongs, or takes the row of that ID away; other rows stay as
    // they are.
    void placeRow(ListRow row);
    void removeRow(QByteArrayView id);

    const std::vector<ListRow>& rows() const { return mRows; }
    // The position of the row with that ID text; -1 when there is none.
    int rowOf(QByteArrayView id) const { return indexOf(id); }
    const ListRow& row(int at) const { return mRows[static_cast<size_t>(at)]; }
    // The text of one cell, from the source when the row does not hold it.
    QString cell(int at, size_t column) const;
    // The same as UTF-8, valid until the list changes or other rows are read.
    QByteArrayView cellUtf8(int at, size_t column) const;
    // The row with every column, read from the source when it holds fewer;
    // as it is when it cannot be read.
    ListRow wholeRowAt(int at) const;
    // Every row's text in a column, by row: what a sort compares. The column
    // is read from the source in one pass when the rows do not hold it.
    std::function<QByteArrayView(size_t)> columnReader(size_t column) const;

    // The most characters of one cell the list shows (and its tooltip): a
    // cell of megabytes would freeze every repaint.
    static constexpr qsizetype kShownCharacters = 1000;
    // What a cell shows when its row could not be read.
    static QString unreadableText();

signals:
    // A row or column could not be read from the source; said once until the
    // rows are replaced, and never from inside a paint (queued).
    void readFailed(const QString& reason);

private:
    const ListRow* wholeRow(const ListRow& row) const;
    int indexOf(QByteArrayView id) const;
    void failed(const QByteArray& id, const std::exception& error) const;

    QStringList mHeadings;
    std::vector<ListRow> mRows;
    // Each row's key, in the rows' order: finding a row by its key then reads
    // one small array instead of every row.
    std::vector<qint64> mIds;
    Source* mSource = nullptr;
    // Whole rows read from the source, by ID; forgotten when many are held.
    mutable QHash<QByteArray, ListRow> mWhole;
    // Rows whose reading failed, not tried again until they change.
    mutable QSet<QByteArray> mUnreadable;
    mutable bool mFailureSaid = false;
    // The fewest columns any row holds (rows read whole hold them all);
    // a removed row may leave it lower than it is, which costs a read only.
    size_t mFewestHeld = ListRow::size();
    // A column read from the source for sorting, in the rows' order.
    mutable size_t mReadColumn = SIZE_MAX;
    mutable std::vector<QByteArray> mReadTexts;
};
