#include "output/excelexportmodellist.h"

#include <QAbstractItemModel>

#include "app/apperror.h"

namespace {

// The numbers and words the list's own collections fail with.
const int kIndexOutOfBounds = 35600;
const int kObjectNotSet = 91;

[[noreturn]] void outOfBounds()
{
    throw AppError(QStringLiteral("Index out of bounds"), kIndexOutOfBounds);
}

} // namespace

ExcelExportModelList::ExcelExportModelList(QAbstractItemModel* model, QObject* guard,
                                           std::function<void(int)> setPointer)
    : mModel(model), mGuard(guard), mGuarded(guard != nullptr), mSetPointer(std::move(setPointer))
{
}

const QAbstractItemModel& ExcelExportModelList::model() const
{
    if (!mModel)
        throw AppError(QStringLiteral("Object variable or With block variable not set"), kObjectNotSet);
    return *mModel;
}

int ExcelExportModelList::columnCount() const
{
    return model().columnCount();
}

QString ExcelExportModelList::headerText(int column) const
{
    const QAbstractItemModel& list = model();
    if (column < 1 || column > list.columnCount())
        outOfBounds();
    return list.headerData(column - 1, Qt::Horizontal, Qt::DisplayRole).toString();
}

int ExcelExportModelList::rowCount() const
{
    return model().rowCount();
}

QString ExcelExportModelList::cellText(int row, int column) const
{
    const QAbstractItemModel& list = model();
    const QModelIndex index = list.index(row - 1, column - 1);
    if (!index.isValid())
        outOfBounds();
    return list.data(index, Qt::DisplayRole).toString();
}

void ExcelExportModelList::setMousePointer(int pointer)
{
    if (mGuarded && !mGuard)
        throw AppError(QStringLiteral("Object variable or With block variable not set"), kObjectNotSet);
    if (mSetPointer)
        mSetPointer(pointer);
}
