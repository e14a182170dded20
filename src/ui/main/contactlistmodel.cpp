#include "ui/main/contactlistmodel.h"

#include <algorithm>
#include <numeric>

#include "base/apperror.h"
#include "model/storedtext.h"
#include "store/collationsort.h"
#include "store/textrules.h"

namespace {

AppError invalidPropertyValue()
{
    return AppError(QStringLiteral("Invalid property value"), 380);
}

} // namespace

int ContactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(mRows.size());
}

int ContactListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(mHeadings.size());
}

ContactListModel::~ContactListModel() = default;

Qt::ItemFlags ContactListModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base;
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const
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
    return whole ? whole->shownText(column, kShownCharacters) : QString();
}

const ListRow* ContactListModel::wholeRow(const ListRow& row) const
{
    if (row.complete())
        return &row;
    const QByteArray id = row.utf8(0).toByteArray();
    const auto cached = mWhole.constFind(id);
    if (cached != mWhole.constEnd())
        return &cached.value();
    if (!mSource)
        return nullptr;
    std::optional<ListRow> read;
    try {
        read = mSource->row(id);
    } catch (const std::exception&) {
        // A cell that cannot be read shows empty; the commands that need the
        // contact read it themselves and report what went wrong.
    }
    if (!read)
        return nullptr;
    // A screenful of rows many times over; the cells read again later are
    // read from the file again.
    if (mWhole.size() >= 512)
        mWhole.clear();
    return &mWhole.insert(id, std::move(*read)).value();
}

QString ContactListModel::cell(int viewRow, size_t column) const
{
    return textFromUtf8(cellUtf8(viewRow, column));
}

QByteArrayView ContactListModel::cellUtf8(int viewRow, size_t column) const
{
    const ListRow& shown = row(viewRow);
    if (column < shown.heldColumns())
        return shown.utf8(column);
    const ListRow* whole = wholeRow(shown);
    return whole ? whole->utf8(column) : QByteArrayView("", 0);
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) && section >= 0 &&
        section < mHeadings.size())
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
    mFewestHeld = ListRow::size();
    mIds.resize(mRows.size());
    for (size_t i = 0; i < mRows.size(); ++i) {
        mFewestHeld = std::min(mFewestHeld, mRows[i].heldColumns());
        mIds[i] = mRows[i].utf8(0).toLongLong();
    }
    mWhole.clear();
    mReadColumn = SIZE_MAX;
    mReadTexts.clear();
    mOrder.clear();
    if (mSorted)
        mOrder = sortedOrder();
    endResetModel();
}

void ContactListModel::setRowsInNameOrder(std::vector<ListRow> rows)
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

int ContactListModel::sourceIndexOf(QByteArrayView id) const
{
    bool isNumber = false;
    const qint64 wanted = id.toLongLong(&isNumber);
    if (!isNumber)
        return -1;
    const auto found = std::find(mIds.begin(), mIds.end(), wanted);
    return found == mIds.end() ? -1 : static_cast<int>(found - mIds.begin());
}

int ContactListModel::viewRowOf(int source) const
{
    if (mOrder.empty())
        return source;
    return static_cast<int>(std::find(mOrder.begin(), mOrder.end(), static_cast<uint32_t>(source)) - mOrder.begin());
}

bool ContactListModel::replaceRow(QByteArrayView id, std::optional<ListRow> row)
{
    const int source = sourceIndexOf(id);
    if (source < 0)
        return false;
    mWhole.remove(id.toByteArray());
    mReadColumn = SIZE_MAX;
    const int view = viewRowOf(source);
    if (row) {
        mFewestHeld = std::min(mFewestHeld, row->heldColumns());
        mRows[static_cast<size_t>(source)] = std::move(*row);
        emit dataChanged(index(view, 0), index(view, columnCount() - 1));
        return true;
    }
    removeRow(id);
    return true;
}

void ContactListModel::removeRow(QByteArrayView id)
{
    const int source = sourceIndexOf(id);
    if (source < 0)
        return;
    mWhole.remove(id.toByteArray());
    mReadColumn = SIZE_MAX;
    const int view = viewRowOf(source);
    beginRemoveRows(QModelIndex(), view, view);
    mRows.erase(mRows.begin() + source);
    mIds.erase(mIds.begin() + source);
    if (!mOrder.empty()) {
        mOrder.erase(mOrder.begin() + view);
        for (uint32_t& at : mOrder) {
            if (at > static_cast<uint32_t>(source))
                --at;
        }
    }
    endRemoveRows();
}

void ContactListModel::placeRow(ListRow row)
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
    const auto at = mRows.begin() + static_cast<std::ptrdiff_t>(first);
    const auto source = static_cast<int>(first);
    mReadColumn = SIZE_MAX;
    if (mSorted) {
        // Where a sorted list shows it follows from the sort: it comes in
        // last, then the shown order is made anew, the selection following
        // its contacts.
        const int last = static_cast<int>(mRows.size());
        beginInsertRows(QModelIndex(), last, last);
        mFewestHeld = std::min(mFewestHeld, row.heldColumns());
        mIds.insert(mIds.begin() + source, newId);
        mRows.insert(at, std::move(row));
        for (uint32_t& other : mOrder) {
            if (other >= static_cast<uint32_t>(source))
                ++other;
        }
        mOrder.push_back(static_cast<uint32_t>(source));
        endInsertRows();
        resort();
        return;
    }
    beginInsertRows(QModelIndex(), source, source);
    mFewestHeld = std::min(mFewestHeld, row.heldColumns());
    mIds.insert(mIds.begin() + source, newId);
    mRows.insert(at, std::move(row));
    endInsertRows();
}

std::vector<ListRow> ContactListModel::shownRows() const
{
    if (mOrder.empty())
        return mRows;
    std::vector<ListRow> shown;
    shown.reserve(mRows.size());
    for (const uint32_t at : mOrder)
        shown.push_back(mRows[at]);
    return shown;
}

int ContactListModel::sourceRow(int viewRow) const
{
    if (viewRow < 0 || viewRow >= static_cast<int>(mRows.size()))
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    return mOrder.empty() ? viewRow : static_cast<int>(mOrder[static_cast<size_t>(viewRow)]);
}

const ListRow& ContactListModel::row(int viewRow) const
{
    return mRows[static_cast<size_t>(sourceRow(viewRow))];
}

void ContactListModel::setSorted(bool sorted)
{
    mSorted = sorted;
    if (mSorted)
        resort();
}

void ContactListModel::setSortKey(int column)
{
    if (column < 0 || column >= static_cast<int>(ListRow::size()))
        throw invalidPropertyValue();
    mSortKey = column;
    if (mSorted)
        resort();
}

void ContactListModel::setSortOrder(int order)
{
    if (order != 0 && order != 1)
        throw invalidPropertyValue();
    mSortOrder = order;
    if (mSorted)
        resort();
}

void ContactListModel::columnClick(int index)
{
    int currentKey = -1;
    if (sorted())
        currentKey = sortKey();
    setSorted(false);
    if (index - 1 == currentKey)
        setSortOrder(sortOrder() == 0 ? 1 : 0);
    else
        setSortOrder(0);
    setSortKey(index - 1);
    setSorted(true);
}

std::vector<uint32_t> ContactListModel::sortedOrder() const
{
    // Starting from the shown order makes equal cells keep their places, so
    // sorting by one column and then another orders by both.
    std::vector<uint32_t> order = mOrder;
    if (order.size() != mRows.size()) {
        order.resize(mRows.size());
        std::iota(order.begin(), order.end(), 0u);
    }
    collationSort(order, columnReader(static_cast<size_t>(mSortKey)), mSortOrder != 0);
    return order;
}

std::function<QByteArrayView(size_t)> ContactListModel::columnReader(size_t column) const
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
        } catch (const std::exception&) {
            // The sort runs inside a heading click or a model reset, where an
            // exception would end the program: cells that cannot be read sort
            // as empty, as they show, and the next sort tries again.
            whole = false;
        }
        mReadTexts = std::move(texts);
        mReadColumn = whole ? column : SIZE_MAX;
    }
    return [this](size_t i) { return QByteArrayView(mReadTexts[i]); };
}

void ContactListModel::resort()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection and the current row follow their contact to its new place.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before)
        sources.push_back(sourceRow(index.row()));

    mOrder = sortedOrder();

    if (!before.isEmpty()) {
        std::vector<int> viewOf(mOrder.size());
        for (size_t view = 0; view < mOrder.size(); ++view)
            viewOf[mOrder[view]] = static_cast<int>(view);
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after << index(viewOf[static_cast<size_t>(sources[static_cast<size_t>(i)])], before[i].column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
