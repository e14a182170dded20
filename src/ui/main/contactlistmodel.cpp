#include "ui/main/contactlistmodel.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include "base/apperror.h"

namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};

// The same rules as the store's NOCASE: the root collation at secondary
// strength, so letter case is ignored, accents count and every script sorts
// by its own alphabet.
UCollator* listCollator()
{
    static const std::unique_ptr<UCollator, CollatorCloser> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCollator, CollatorCloser> c(ucol_open("", &status));
        if (U_FAILURE(status))
            throw AppError(QStringLiteral("The text collation is not available: %1")
                               .arg(QString::fromLatin1(u_errorName(status))));
        ucol_setStrength(c.get(), UCOL_SECONDARY);
        return c;
    }();
    return collator.get();
}

// One collation key per row, all in one buffer. A key is computed once per
// row and compared with strcmp: an ICU sort key has no zero byte but its end,
// and compares bytewise in collation order. A sort then costs n key
// computations instead of n log n full collations.
class SortKeys {
public:
    SortKeys(const std::vector<ListRow>& rows, size_t column)
    {
        UCollator* collator = listCollator();
        mStart.reserve(rows.size());
        std::vector<UChar> text;
        for (const ListRow& row : rows) {
            const QByteArrayView utf8 = row.utf8(column);
            // UTF-16 never needs more units than UTF-8 has bytes.
            text.resize(static_cast<size_t>(utf8.size()) + 1);
            int32_t length = 0;
            UErrorCode status = U_ZERO_ERROR;
            u_strFromUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &length, utf8.data(),
                                 static_cast<int32_t>(utf8.size()), 0xfffd, nullptr, &status);
            if (U_FAILURE(status))
                length = 0;
            const size_t start = mKeys.size();
            mStart.push_back(start);
            int32_t room = 3 * length + 16;
            for (;;) {
                mKeys.resize(start + static_cast<size_t>(room));
                const int32_t needed = ucol_getSortKey(collator, text.data(), length, mKeys.data() + start, room);
                if (needed <= room) {
                    // 0 means the collator failed: an empty key sorts first.
                    mKeys.resize(start + static_cast<size_t>(std::max(needed, 1)));
                    mKeys[start + static_cast<size_t>(std::max(needed, 1)) - 1] = 0;
                    break;
                }
                room = needed;
            }
        }
    }

    const char* key(uint32_t row) const { return reinterpret_cast<const char*>(mKeys.data() + mStart[row]); }

private:
    std::vector<uint8_t> mKeys;
    std::vector<size_t> mStart;
};

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

QVariant ContactListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= static_cast<int>(ListRow::size()))
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return row(index.row()).shownText(static_cast<size_t>(index.column()), kShownCharacters);
    return QVariant();
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
    mOrder.clear();
    if (mSorted)
        mOrder = sortedOrder();
    endResetModel();
}

void ContactListModel::setRowsInNameOrder(std::vector<ListRow> rows)
{
    const SortKeys keys(rows, 1);
    std::vector<uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](uint32_t a, uint32_t b) { return std::strcmp(keys.key(a), keys.key(b)) < 0; });
    std::vector<ListRow> ordered;
    ordered.reserve(rows.size());
    for (const uint32_t at : order)
        ordered.push_back(std::move(rows[at]));
    setRows(std::move(ordered));
}

bool ContactListModel::replaceRow(QByteArrayView id, std::optional<ListRow> row)
{
    const auto found = std::find_if(mRows.begin(), mRows.end(), [id](const ListRow& r) { return r.utf8(0) == id; });
    if (found == mRows.end())
        return false;
    const auto source = static_cast<uint32_t>(found - mRows.begin());
    int view = static_cast<int>(source);
    if (!mOrder.empty())
        view = static_cast<int>(std::find(mOrder.begin(), mOrder.end(), source) - mOrder.begin());
    if (row) {
        *found = std::move(*row);
        emit dataChanged(index(view, 0), index(view, columnCount() - 1));
        return true;
    }
    beginRemoveRows(QModelIndex(), view, view);
    mRows.erase(found);
    if (!mOrder.empty()) {
        mOrder.erase(mOrder.begin() + view);
        for (uint32_t& at : mOrder) {
            if (at > source)
                --at;
        }
    }
    endRemoveRows();
    return true;
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
    const SortKeys keys(mRows, static_cast<size_t>(mSortKey));
    if (mSortOrder == 0) {
        std::stable_sort(order.begin(), order.end(),
                         [&keys](uint32_t a, uint32_t b) { return std::strcmp(keys.key(a), keys.key(b)) < 0; });
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&keys](uint32_t a, uint32_t b) { return std::strcmp(keys.key(a), keys.key(b)) > 0; });
    }
    return order;
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
