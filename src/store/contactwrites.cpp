#include "store/contactwrites.h"

#include <sqlite3.h>

#include "store/connection.h"
#include "store/keptcards.h"
#include "store/samename.h"
#include "store/sqlitehandles.h"
#include "store/undohistory.h"
#include "store/writetransaction.h"

std::optional<StoredTexts> readStoredTexts(Connection& connection, const QString& id)
{
    sqlite3* db = connection.handle();
    const StatementHandle statement = prepareOne(db, contact::rowQuery(id));
    if (check(sqlite3_step(statement.get()), db) != SQLITE_ROW)
        return std::nullopt;
    StoredTexts texts;
    const int columns = std::min(sqlite3_column_count(statement.get()) - 1, contact::kFieldCount);
    for (int i = 0; i < columns; ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), i + 1));
        if (text)
            texts[static_cast<size_t>(i)] = QByteArray(text, sqlite3_column_bytes(statement.get(), i + 1));
    }
    return texts;
}

WriteOutcome updateIfUnchanged(Connection& connection, const QString& id, const StoredTexts& expected,
                               const QString& statement, std::optional<StoredTexts>& current, ChangeCapture* capture)
{
    const size_t name = static_cast<size_t>(contact::indexOf(contact::Field::Name));
    StoredNames& names = connection.storedNames();
    try {
        return inWriteTransaction(connection, [&] {
            current = readStoredTexts(connection, id);
            if (!current)
                return WriteOutcome::Gone;
            if (*current != expected)
                return WriteOutcome::ChangedElsewhere;
            if (statement.isEmpty())
                return WriteOutcome::Written;
            const QByteArray nameBefore = (*current)[name];
            const qint64 changesBefore = StoredNames::changesSoFar(connection);
            const QStringList tables = capture ? contactTables(connection) : QStringList();
            if (capture)
                capture->before.push_back(captureContact(connection, id.toLongLong(), tables));
            connection.execute(statement);
            if (sqlite3_changes(connection.handle()) != 1)
                return WriteOutcome::Gone;
            current = readStoredTexts(connection, id);
            if (capture)
                capture->after.push_back(captureContact(connection, id.toLongLong(), tables));
            names.renamed(connection, nameBefore, current ? (*current)[name] : QByteArray(), changesBefore);
            return WriteOutcome::Written;
        });
    } catch (...) {
        names.forget();
        throw;
    }
}

WriteOutcome insertIfNameFree(Connection& connection, const Contact& contact, const SameName& name, qint64& id,
                              ChangeCapture* capture)
{
    StoredNames& names = connection.storedNames();
    try {
        return inWriteTransaction(connection, [&] {
            if (names.contains(connection, name))
                return WriteOutcome::NameTaken;
            const qint64 changesBefore = StoredNames::changesSoFar(connection);
            connection.execute(contact::insertStatement(contact));
            id = connection.lastInsertId();
            // A key another program's table gave out again must not inherit the
            // card of the contact it once belonged to.
            keptcards::remove(connection, id);
            if (capture) {
                capture->before.push_back(ContactImage{id, {}});
                capture->after.push_back(captureContact(connection, id, contactTables(connection)));
            }
            if (const std::optional<StoredTexts> stored = readStoredTexts(connection, QString::number(id)))
                names.added(connection, (*stored)[static_cast<size_t>(contact::indexOf(contact::Field::Name))], changesBefore);
            else
                names.forget();
            return WriteOutcome::Written;
        });
    } catch (...) {
        // The names may hold one that the rollback took back.
        names.forget();
        throw;
    }
}

namespace {

// Inside the caller's write transaction: the contact and its kept card go
// together.
WriteOutcome deleteInTransaction(Connection& connection, const QString& id)
{
    connection.execute(contact::deleteStatement(id));
    if (sqlite3_changes(connection.handle()) == 0)
        return WriteOutcome::Gone;
    keptcards::remove(connection, contact::checkedId(id).toLongLong());
    return WriteOutcome::Written;
}

} // namespace

WriteOutcome deleteContact(Connection& connection, const QString& id)
{
    return inWriteTransaction(connection, [&] { return deleteInTransaction(connection, id); });
}

int deleteContacts(Connection& connection, const QStringList& ids, ChangeCapture* capture)
{
    return inWriteTransaction(connection, [&] {
        const QStringList tables = capture ? contactTables(connection) : QStringList();
        int gone = 0;
        for (const QString& id : ids) {
            if (capture) {
                const qint64 key = contact::checkedId(id).toLongLong();
                capture->before.push_back(captureContact(connection, key, tables));
                capture->after.push_back(ContactImage{key, {}});
            }
            gone += deleteInTransaction(connection, id) == WriteOutcome::Gone ? 1 : 0;
        }
        return gone;
    });
}
