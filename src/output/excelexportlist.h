#pragma once

#include <QString>

// The contact list as the export sees it: the list as shown, counted as the
// list's own collections count, from 1. Column 1 is the "ID" column; the
// export reads columns 2 and up. Every call can throw AppError, for instance
// when a row vanished because another command reloaded the list during the
// export, or the list is gone altogether.
class ExcelExportList {
public:
    virtual ~ExcelExportList() = default;

    virtual int columnCount() const = 0;
    virtual QString headerText(int column) const = 0;
    virtual int rowCount() const = 0;
    // The text of the row's cell in that column, in the order the rows are
    // shown; empty text for an empty cell.
    virtual QString cellText(int row, int column) const = 0;
    // 0 the default pointer, 11 the hourglass.
    virtual void setMousePointer(int pointer) = 0;
};
