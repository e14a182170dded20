#include "ui/main/contactrows.h"

#include <algorithm>
#include <numeric>

#include "model/storedtext.h"
#include "store/collationsort.h"
#include "store/textrules.h"

ContactRows::~ContactRows() = default;

int ContactRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(mRows.size());
}

int ContactRows::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(mHeadings.size());
}

Qt::ItemFlags ContactRows::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base;
}

QString ContactRows::unreadableText()
{
    return QStringLiteral("(cannot be read)");
}

QVariant ContactRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= static_cast<int>(ListRow::size()))
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return QVariant();
    const auto column = static_cast<size_t>(index.column());
    const ListRow& shown = row(index.row());
    if (column < shown.heldColumns())
        return shown.shownText(column, kShownCharacters);
    const ListRow* whole = wholeRow(shown);
    return whole ? whole->shownText(column, kShownCharacters) : unreadableText();
}

void ContactRows::failed(const QByteArray& id, const std::exception& error) const
{
    if (!id.isEmpty())
        mUnreadable.insert(id);
    if (mFailureSaid)
        return;
    mFailureSaid = true;
    // A paint asked for the cell: whoever tells the user must not do so
    // inside it.
    QMetaObject::invokeMethod(
        const_cast<ContactRows*>(this),
        [this, reason = QString::fromUtf8(error.what())] { emit const_cast<ContactRows*>(this)->readFailed(reason); },
        Qt::QueuedConnection);
}

const ListRow* ContactRows::wholeRow(const ListRow& row) const
{
    if (row.complete())
        return &row;
    const QByteArray id = row.utf8(0).toByteArray();
    const auto cached = mWhole.constFind(id);
    if (cached != mWhole.constEnd())
        return &cached.value();
    if (!mSource || mUnreadable.contains(id))
        return nullptr;
    std::optional<ListRow> read;
    try {
        read = mSource->row(id);
    } catch (const std::exception& error) {
        failed(id, error);
        return nullptr;
    }
    // Gone from the file since the list was filled: the next fill drops it.
    if (!read)
        return &row;
    // A screenful of rows many times over; the cells read again later are
    // read from the file again.
    if (mWhole.size() >= 512)
        mWhole.clear();
    return &mWhole.insert(id, std::move(*read)).value();
}

QString ContactRows::cell(int at, size_t column) const
{
    return textFromUtf8(cellUtf8(at, column));
}

QByteArrayView ContactRows::cellUtf8(int at, size_t column) const
{
    const ListRow& shown = row(at);
    if (column < shown.heldColumns())
        return shown.utf8(column);
    const ListRow* whole = wholeRow(shown);
    return whole && column < whole->heldColumns() ? whole->utf8(column) : QByteArrayView("", 0);
}

ListRow ContactRows::wholeRowAt(int at) const
{
    const ListRow* whole = wholeRow(row(at));
    return whole ? *whole : row(at);
}

QVariant ContactRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) && section >= 0 &&
        section < mHeadings.size())
        return mHeadings[section];
    if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole)
        return static_cast<int>(Qt::AscendingOrder);
    return QVariant();
}

void ContactRows::addColumn(const QString& heading)
{
    const int at = static_cast<int>(mHeadings.size());
    beginInsertColumns(QModelIndex(), at, at);
    mHeadings << heading;
    endInsertColumns();
}

void ContactRows::setRows(std::vector<ListRow> rows)
{
    beginResetModel();
    mRows = std::move(rows);
    mFewestHeld = ListRow::size();
    mIds.resize(mRows.size());
    for (size_t i = 0; i < mRows.size(); ++i) {
        mFewestHeld = std::min(mFewestHeld, mRows[i].heldColumns());
        mIds[i] = mRows[i].utf8(0).toLongLong();
    }
    mWhole.clear();
    mUnreadable.clear();
    mFailureSaid = false;
    mReadColumn = SIZE_MAX;
    mReadTexts.clear();
    endResetModel();
}

void ContactRows::setRowsInNameOrder(std::vector<ListRow> rows)
{
    const size_t name = ListRow::column(contact::Field::Name);
    std::vector<uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    // Names the collation calls equal (they differ in letter case only)
    // stand as SQLite's NOCASE orders them, then in the order given.
    collationSort(
        order, [&rows, name](size_t i) { return rows[i].utf8(name); }, false,
        [&rows, name](uint32_t a, uint32_t b) { return asciiNoCase(rows[a].utf8(name), rows[b].utf8(name)); });
    std::vector<ListRow> ordered;
    ordered.reserve(rows.size());
    for (const uint32_t at : order)
        ordered.push_back(std::move(rows[at]));
    setRows(std::move(ordered));
}

int ContactRows::indexOf(QByteArrayView id) const
{
    bool isNumber = false;
    const qint64 wanted = id.toLongLong(&isNumber);
    if (!isNumber)
        return -1;
    const auto found = std::find(mIds.begin(), mIds.end(), wanted);
    return found == mIds.end() ? -1 : static_cast<int>(found - mIds.begin());
}

bool ContactRows::replaceRow(QByteArrayView id, std::optional<ListRow> row)
{
    const int at = indexOf(id);
    if (at < 0)
        return false;
    if (!row) {
        removeRow(id);
        return true;
    }
    mWhole.remove(id.toByteArray());
    mUnreadable.remove(id.toByteArray());
    mReadColumn = SIZE_MAX;
    mFewestHeld = std::min(mFewestHeld, row->heldColumns());
    mRows[static_cast<size_t>(at)] = std::move(*row);
    emit dataChanged(index(at, 0), index(at, columnCount() - 1));
    return true;
}

void ContactRows::removeRow(QByteArrayView id)
{
    const int at = indexOf(id);
    if (at < 0)
        return;
    mWhole.remove(id.toByteArray());
    mUnreadable.remove(id.toByteArray());
    mReadColumn = SIZE_MAX;
    beginRemoveRows(QModelIndex(), at, at);
    mRows.erase(mRows.begin() + at);
    mIds.erase(mIds.begin() + at);
    endRemoveRows();
}

void ContactRows::placeRow(ListRow row)
{
    removeRow(row.utf8(0));
    // The rows stand in name order, as a refill puts them: the collation,
    // then SQLite's NOCASE, then the key. The row goes before the first one
    // that sorts after it.
    const size_t name = ListRow::column(contact::Field::Name);
    const QByteArrayView newName = row.utf8(name);
    const qint64 newId = row.utf8(0).toLongLong();
    const auto sortsAfterNew = [&](size_t i) {
        const QByteArrayView other = mRows[i].utf8(name);
        const int byCollation = compareNoCase(newName.data(), static_cast<int>(newName.size()), other.data(),
                                              static_cast<int>(other.size()));
        if (byCollation != 0)
            return byCollation < 0;
        const int byNoCase = asciiNoCase(newName, other);
        return byNoCase != 0 ? byNoCase < 0 : newId < mIds[i];
    };
    // The first row that sorts after the new one, by halving.
    size_t first = 0;
    for (size_t count = mRows.size(); count > 0;) {
        const size_t half = count / 2;
        if (sortsAfterNew(first + half)) {
            count = half;
        } else {
            first += half + 1;
            count -= half + 1;
        }
    }
    const auto at = static_cast<int>(first);
    mReadColumn = SIZE_MAX;
    beginInsertRows(QModelIndex(), at, at);
    mFewestHeld = std::min(mFewestHeld, row.heldColumns());
    mIds.insert(mIds.begin() + at, newId);
    mRows.insert(mRows.begin() + at, std::move(row));
    endInsertRows();
}

std::function<QByteArrayView(size_t)> ContactRows::columnReader(size_t column) const
{
    if (column < mFewestHeld || !mSource)
        return [this, column](size_t i) { return mRows[i].utf8(column); };
    if (mReadColumn != column) {
        // The stored rows come in ID order; the list's rows are matched to
        // them by ID in one pass, without a table of every ID.
        std::vector<std::pair<qint64, uint32_t>> byId(mRows.size());
        for (size_t i = 0; i < mRows.size(); ++i)
            byId[i] = {mIds[i], static_cast<uint32_t>(i)};
        std::sort(byId.begin(), byId.end());
        std::vector<QByteArray> texts(mRows.size());
        size_t next = 0;
        bool whole = true;
        try {
            mSource->column(column, [&](qint64 id, QByteArrayView text) {
                while (next < byId.size() && byId[next].first < id)
                    ++next;
                for (; next < byId.size() && byId[next].first == id; ++next)
                    texts[byId[next].second] = text.toByteArray();
            });
        } catch (const std::exception& error) {
            // The sort runs inside a heading click or a model reset, where an
            // exception would end the program: cells that cannot be read sort
            // as empty, the failure is said, and the next sort tries again.
            whole = false;
            failed(QByteArray(), error);
        }
        mReadTexts = std::move(texts);
        mReadColumn = whole ? column : SIZE_MAX;
    }
    return [this](size_t i) { return QByteArrayView(mReadTexts[i]); };
}
