#include "output/excelexportrows.h"

#include "base/apperror.h"

ExcelExportRows::ExcelExportRows(QStringList headings, std::vector<ListRow> rows, QObject* guard,
                                 std::function<void(int)> setPointer)
    : mHeadings(std::move(headings)), mRows(std::move(rows)), mGuard(guard), mGuarded(guard != nullptr),
      mSetPointer(std::move(setPointer))
{
}

int ExcelExportRows::columnCount() const
{
    return static_cast<int>(mHeadings.size());
}

QString ExcelExportRows::headerText(int column) const
{
    if (column < 1 || column > columnCount())
        throw AppError::indexOutOfBounds();
    return mHeadings[column - 1];
}

int ExcelExportRows::rowCount() const
{
    return static_cast<int>(mRows.size());
}

QString ExcelExportRows::cellText(int row, int column) const
{
    if (row < 1 || row > rowCount() || column < 1 || column > columnCount() ||
        static_cast<size_t>(column) > ListRow::size())
        throw AppError::indexOutOfBounds();
    return mRows[static_cast<size_t>(row - 1)][static_cast<size_t>(column - 1)];
}

void ExcelExportRows::setMousePointer(int pointer)
{
    // A window closed during the export has no pointer left to set.
    if (mSetPointer && (!mGuarded || mGuard))
        mSetPointer(pointer);
}
