#pragma once

#include <array>
#include <optional>

#include <QByteArray>
#include <QString>

#include "store/contacttable.h"

class Connection;

// A contact's fields, in field order, byte for byte as SQLite gives them as
// text (a NULL as empty): what the list shows and an editor was filled from.
using StoredTexts = std::array<QByteArray, contact::kFieldCount>;

enum class WriteOutcome {
    Written,
    // Another program or copy changed the row since it was read.
    ChangedElsewhere,
    // The row is no longer there.
    Gone,
    // A stored contact has that name already.
    NameTaken,
};

class SameName;
struct ChangeCapture;

// The row of that ID as it is stored now; nothing when there is none.
std::optional<StoredTexts> readStoredTexts(Connection& connection, const QString& id);

// Runs statement (an update of the row of that ID; empty text writes nothing)
// only while the row still holds expected, checked in the same transaction,
// so that an edit never undoes what another copy saved meanwhile. current
// receives the row as it is stored afterwards (unset when it is gone).
//
// Each write below, given a capture, also records in it, inside the same
// transaction, every contact it changed as it was and as it is after: what
// an undo puts back.
WriteOutcome updateIfUnchanged(Connection& connection, const QString& id, const StoredTexts& expected,
                               const QString& statement, std::optional<StoredTexts>& current,
                               ChangeCapture* capture = nullptr);

// Inserts the contact, unless a stored contact has the same name: checked in
// the same transaction, so that no other copy can add the name in between.
// id receives the new contact's key.
WriteOutcome insertIfNameFree(Connection& connection, const Contact& contact, const SameName& name, qint64& id,
                              ChangeCapture* capture = nullptr);

// Deletes the row of that ID; Gone when there was none to delete.
WriteOutcome deleteContact(Connection& connection, const QString& id);
// Deletes the rows of these IDs in one transaction, all or none; returns how
// many of them were no longer there.
int deleteContacts(Connection& connection, const QStringList& ids, ChangeCapture* capture = nullptr);
