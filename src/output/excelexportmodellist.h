#pragma once

#include <functional>

#include <QPointer>

#include "output/excelexportlist.h"

class QAbstractItemModel;

// The export's view of a list view's model: rows as the model gives them (the
// view's model, so a sorting or filtering proxy is already applied), texts of
// the display role, headings of the horizontal header. The model is watched:
// when it is destroyed during an export, every read fails with a report
// instead of touching freed memory.
class ExcelExportModelList : public ExcelExportList {
public:
    // setPointer is called only while guard (the window that owns the
    // pointer) is alive; it may be null.
    ExcelExportModelList(QAbstractItemModel* model, QObject* guard, std::function<void(int)> setPointer);

    int columnCount() const override;
    QString headerText(int column) const override;
    int rowCount() const override;
    QString cellText(int row, int column) const override;
    void setMousePointer(int pointer) override;

private:
    const QAbstractItemModel& model() const;

    QPointer<QAbstractItemModel> mModel;
    QPointer<QObject> mGuard;
    bool mGuarded = false;
    std::function<void(int)> mSetPointer;
};
