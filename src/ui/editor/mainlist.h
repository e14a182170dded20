#pragma once

#include <QByteArrayView>
#include <QString>

class QWidget;
class Recordset;

// What the editing commands and the editor need of the main window's list.
class MainList {
public:
    virtual ~MainList() = default;

    virtual int rowCount() const = 0;
    // The row the user selected, counted as shown; -1 when none is.
    virtual int selectedRow() const = 0;
    // Column 0 is the ID, 1 to 13 the data columns in table order.
    virtual QString text(int row, int column) const = 0;
    // The same text as UTF-8, valid until the list changes.
    virtual QByteArrayView textUtf8(int row, int column) const = 0;

    virtual void loadRondexa() = 0;
    // Shows the contact of that ID as it is stored now, or takes it out of
    // the list when it is gone; other rows stay as they are.
    virtual void refreshRow(const QString& id) = 0;
    virtual void clearRows() = 0;
    // Shows every row the recordset still has to deliver.
    virtual void fillFrom(Recordset& recordset) = 0;

    virtual void setMousePointer(int pointer) = 0;
    virtual QWidget* ownerWidget() = 0;
};
