#pragma once

#include <functional>
#include <vector>

#include <QPointer>
#include <QStringList>

#include "model/listrow.h"
#include "output/excelexportlist.h"

// The list as it was shown when the export began: its headings and its rows
// in their shown order. The export lets events through while it writes, and a
// search or reload then changes the list on screen, not these rows: a row the
// list no longer shows is still exported, never an error.
class ExcelExportRows : public ExcelExportList {
public:
    // setPointer is called only while guard (the window that owns the
    // pointer) is alive; guard may be null.
    ExcelExportRows(QStringList headings, std::vector<ListRow> rows, QObject* guard,
                    std::function<void(int)> setPointer);

    int columnCount() const override;
    QString headerText(int column) const override;
    int rowCount() const override;
    QString cellText(int row, int column) const override;
    void setMousePointer(int pointer) override;

private:
    QStringList mHeadings;
    std::vector<ListRow> mRows;
    QPointer<QObject> mGuard;
    bool mGuarded = false;
    std::function<void(int)> mSetPointer;
};
