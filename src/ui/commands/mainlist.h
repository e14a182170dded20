#pragma once

#include <optional>
#include <vector>

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include "model/contact.h"
#include "model/listrow.h"

class QWidget;
class UndoHistory;
struct Session;

// What the editing commands and the editor need of the main window's list.
// Rows are counted as shown.
class MainList {
public:
    virtual ~MainList() = default;

    virtual Session& session() = 0;
    // The changes made through this list, to take back.
    virtual UndoHistory& undoHistory() = 0;

    virtual int rowCount() const = 0;
    // The row the user selected (the current one among several); -1 when
    // none is.
    virtual int selectedRow() const = 0;
    // Every selected row, in the order shown.
    virtual std::vector<int> selectedRows() const = 0;
    // Selects the rows of these IDs, the first current and in view; IDs the
    // list does not show are passed over.
    virtual void selectContacts(const QStringList& ids) = 0;
    // Selects the row shown at that place, or the last when fewer are shown.
    virtual void selectRowAt(int row) = 0;
    // The row's "ID" text.
    virtual QString id(int row) const = 0;
    virtual QString text(int row, contact::Field field) const = 0;
    // The same text as stored, as UTF-8, valid until the list changes.
    virtual QByteArrayView textUtf8(int row, contact::Field field) const = 0;
    // The data version as of which the rows are every contact of the file
    // (no search on, every change of this list taken in); nothing while a
    // search shows some.
    virtual std::optional<qint64> wholeFileVersion() const = 0;

    // Empties the list and refills it with every contact in name order.
    virtual void loadRondexa() = 0;
    // The same after another connection changed the file (a sync): these
    // contacts stay selected, and the list where it was scrolled to.
    virtual void reloadKeepingPlace(const QStringList& ids)
    {
        loadRondexa();
        selectContacts(ids);
    }
    // Shows the contact of that ID as it is stored now, or takes it out of
    // the list when it is gone; other rows stay as they are.
    virtual void refreshRow(const QString& id) = 0;
    // This program has just changed (added, updated or deleted) the contact
    // of that ID: the next loadRondexa may change just that row.
    virtual void noteChanged(const QString& id) = 0;
    virtual void clearRows() = 0;
    // Shows these rows instead of the list's, in name order.
    virtual void showRows(std::vector<ListRow> rows) = 0;

    // 0 the default arrow, 11 the hourglass.
    virtual void setMousePointer(int pointer) = 0;
    virtual QWidget* ownerWidget() = 0;
};
