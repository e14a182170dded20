#pragma once

#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

class Connection;

// One value as SQLite stores it: its type and its bytes (numbers as text).
struct StoredValue {
    int type = 0;
    QByteArray bytes;
    bool operator==(const StoredValue&) const = default;
};

// One row of a table that holds contacts by their ContactID.
struct TableRow {
    QString table;
    QStringList columns;
    std::vector<StoredValue> values;
    bool operator==(const TableRow&) const = default;
};

// A contact as stored: its row in tblContact and its rows in every table
// beside it keyed by ContactID (an import's tblContactCard, and whatever
// table comes later), column by column. No rows: no such contact.
struct ContactImage {
    qint64 id = 0;
    std::vector<TableRow> rows;
    bool exists() const { return !rows.empty(); }
    bool operator==(const ContactImage&) const = default;
};

// tblContact and every other table with a ContactID column, tblContact first.
QStringList contactTables(Connection& connection);
// Deletes the contact's rows from every table but tblContact.
void removeCompanionRows(Connection& connection, qint64 id, const QStringList& tables);
// The contact as stored now.
ContactImage captureContact(Connection& connection, qint64 id, const QStringList& tables);

// The highest ContactID stored, 0 for none: contacts added later get higher
// ones (the key counts up and never reuses one).
qint64 highestContactId(Connection& connection);
// Every contact with a higher ID, as stored now.
std::vector<ContactImage> contactsAbove(Connection& connection, qint64 id);

// One change of the user's to the contacts: each contact as it was before
// and as the change left it.
struct UndoStep {
    // "Delete of Anna", "Import of friends.vcf".
    QString label;
    std::vector<ContactImage> before;
    std::vector<ContactImage> after;
};

// What the window's writes capture, inside their own transaction, for the
// undo history: nothing unless asked for.
struct ChangeCapture {
    std::vector<ContactImage> before;
    std::vector<ContactImage> after;
};

// The window's changes, most recent last, and those undone; forgotten when
// the window closes. An undo (or redo) puts every contact of its step back
// as it was, with its ID and every row beside it, in one transaction, and
// only while each is still exactly as the step left it: a change made since,
// here or by another copy or program, is never overwritten.
class UndoHistory {
public:
    static constexpr size_t kMostSteps = 20;

    void record(UndoStep step);
    bool canUndo() const { return !mDone.empty(); }
    bool canRedo() const { return !mUndone.empty(); }
    QString undoLabel() const;
    QString redoLabel() const;

    struct Outcome {
        bool done = false;
        // Why not, for the user, when not done.
        QString refusal;
        // The contacts the step left, as IDs, and every contact it touched.
        QStringList ids;
        QStringList touched;
    };
    // Throws when the data file cannot be written; the step then stays.
    Outcome undo(Connection& connection);
    Outcome redo(Connection& connection);

private:
    static Outcome apply(Connection& connection, const UndoStep& step, bool backwards);

    std::vector<UndoStep> mDone;
    std::vector<UndoStep> mUndone;
};
