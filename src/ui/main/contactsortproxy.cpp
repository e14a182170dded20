#include "ui/main/contactsortproxy.h"

#include <algorithm>
#include <numeric>

#include "base/apperror.h"
#include "store/collationsort.h"
#include "ui/main/contactrows.h"

ContactSortProxy::ContactSortProxy(ContactRows& rows, QObject* parent) : QAbstractProxyModel(parent), mRows(rows)
{
    QAbstractProxyModel::setSourceModel(&rows);
    connect(&rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&rows, &QAbstractItemModel::modelReset, this, [this] {
        // A refill or a search keeps the list sorted as it was.
        mOrder.clear();
        if (mColumn >= 0)
            mOrder = sortedOrder();
        rebuildViewOf();
        endResetModel();
    });
    connect(&rows, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex&, int first, int last) {
        // A sorted list takes a new row in last and then sorts it in, so
        // that the selection follows its contacts.
        const int at = mColumn >= 0 ? rowCount() : first;
        beginInsertRows(QModelIndex(), at, at + last - first);
    });
    connect(&rows, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        const bool sorted = mColumn >= 0;
        if (sorted) {
            const auto count = static_cast<uint32_t>(last - first + 1);
            for (uint32_t& at : mOrder) {
                if (at >= static_cast<uint32_t>(first))
                    at += count;
            }
            for (int at = first; at <= last; ++at)
                mOrder.push_back(static_cast<uint32_t>(at));
            rebuildViewOf();
        }
        endInsertRows();
        if (sorted)
            resort();
    });
    connect(&rows, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
        if (first != last) {
            // The rows only ever leave one at a time; anything else is
            // shown afresh.
            beginResetModel();
            mRemoving = -2;
            return;
        }
        mRemoving = viewRowOf(first);
        beginRemoveRows(QModelIndex(), mRemoving, mRemoving);
    });
    connect(&rows, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
        if (mRemoving == -2) {
            mOrder.clear();
            if (mColumn >= 0)
                mOrder = sortedOrder();
            rebuildViewOf();
            mRemoving = -1;
            endResetModel();
            return;
        }
        if (!mOrder.empty()) {
            mOrder.erase(mOrder.begin() + mRemoving);
            for (uint32_t& at : mOrder) {
                if (at > static_cast<uint32_t>(last))
                    at -= static_cast<uint32_t>(last - first + 1);
            }
            rebuildViewOf();
        }
        mRemoving = -1;
        endRemoveRows();
    });
    connect(&rows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
                for (int at = topLeft.row(); at <= bottomRight.row(); ++at) {
                    const int view = viewRowOf(at);
                    emit dataChanged(index(view, topLeft.column()), index(view, bottomRight.column()), roles);
                }
            });
    connect(&rows, &QAbstractItemModel::columnsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertColumns(QModelIndex(), first, last); });
    connect(&rows, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
    connect(&rows, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
}

QModelIndex ContactSortProxy::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex ContactSortProxy::parent(const QModelIndex&) const
{
    return QModelIndex();
}

int ContactSortProxy::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : mRows.rowCount();
}

int ContactSortProxy::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : mRows.columnCount();
}

QVariant ContactSortProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The sort arrow, for those who cannot see it.
    if (role == Qt::AccessibleDescriptionRole && orientation == Qt::Horizontal && section == mColumn)
        return mOrderOfSort == Qt::AscendingOrder ? QStringLiteral("sorted ascending")
                                                  : QStringLiteral("sorted descending");
    // The headings belong to the columns, which no sort moves; the rows'
    // own mapping would find none in an empty list.
    return mRows.headerData(section, orientation, role);
}

QModelIndex ContactSortProxy::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.row() >= rowCount())
        return QModelIndex();
    const int source = mOrder.empty() ? proxyIndex.row() : static_cast<int>(mOrder[proxyIndex.row()]);
    return mRows.index(source, proxyIndex.column());
}

QModelIndex ContactSortProxy::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.row() >= rowCount())
        return QModelIndex();
    return index(viewRowOf(sourceIndex.row()), sourceIndex.column());
}

int ContactSortProxy::viewRowOf(int source) const
{
    return mViewOf.empty() ? source : static_cast<int>(mViewOf[static_cast<size_t>(source)]);
}

void ContactSortProxy::rebuildViewOf()
{
    mViewOf.assign(mOrder.size(), 0);
    for (size_t view = 0; view < mOrder.size(); ++view)
        mViewOf[mOrder[view]] = static_cast<uint32_t>(view);
}

int ContactSortProxy::sourceRow(int viewRow) const
{
    if (viewRow < 0 || viewRow >= rowCount())
        throw AppError::indexOutOfBounds();
    return mOrder.empty() ? viewRow : static_cast<int>(mOrder[static_cast<size_t>(viewRow)]);
}

std::vector<ListRow> ContactSortProxy::shownRows() const
{
    if (mOrder.empty())
        return mRows.rows();
    std::vector<ListRow> shown;
    shown.reserve(mOrder.size());
    for (const uint32_t at : mOrder)
        shown.push_back(mRows.rows()[at]);
    return shown;
}

void ContactSortProxy::sort(int column, Qt::SortOrder order)
{
    if (column < -1 || column >= static_cast<int>(ListRow::size()))
        return;
    mColumn = column;
    mOrderOfSort = order;
    resort();
}

void ContactSortProxy::columnClick(int index)
{
    const bool again = index - 1 == mColumn;
    sort(index - 1, again && mOrderOfSort == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
}

std::vector<uint32_t> ContactSortProxy::sortedOrder() const
{
    // Starting from the shown order makes equal cells keep their places, so
    // sorting by one column and then another orders by both.
    std::vector<uint32_t> order = mOrder;
    if (order.size() != static_cast<size_t>(mRows.rowCount())) {
        order.resize(static_cast<size_t>(mRows.rowCount()));
        std::iota(order.begin(), order.end(), 0u);
    }
    collationSort(order, mRows.columnReader(static_cast<size_t>(mColumn)), mOrderOfSort == Qt::DescendingOrder);
    return order;
}

void ContactSortProxy::resort()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection and the current row follow their contact to its new place.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before)
        sources.push_back(sourceRow(index.row()));

    if (mColumn >= 0)
        mOrder = sortedOrder();
    else
        mOrder.clear();
    rebuildViewOf();

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(viewRowOf(sources[static_cast<size_t>(i)]), before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
