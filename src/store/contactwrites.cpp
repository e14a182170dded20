#include "store/contactwrites.h"

#include <sqlite3.h>

#include "store/connection.h"
#include "store/keptcards.h"
#include "store/samename.h"
#include "store/sqlitehandles.h"
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
                               const QString& statement, std::optional<StoredTexts>& current)
{
    return inWriteTransaction(connection, [&] {
        current = readStoredTexts(connection, id);
        if (!current)
            return WriteOutcome::Gone;
        if (*current != expected)
            return WriteOutcome::ChangedElsewhere;
        if (statement.isEmpty())
            return WriteOutcome::Written;
        connection.execute(statement);
        if (sqlite3_changes(connection.handle()) != 1)
            return WriteOutcome::Gone;
        current = readStoredTexts(connection, id);
        return WriteOutcome::Written;
    });
}

WriteOutcome insertIfNameFree(Connection& connection, const Contact& contact, const SameName& name, qint64& id)
{
    return inWriteTransaction(connection, [&] {
        if (isNameStored(connection, name))
            return WriteOutcome::NameTaken;
        connection.execute(contact::insertStatement(contact));
        id = connection.lastInsertId();
        // A key another program's table gave out again must not inherit the
        // card of the contact it once belonged to.
        keptcards::remove(connection, id);
        return WriteOutcome::Written;
    });
}

WriteOutcome deleteContact(Connection& connection, const QString& id)
{
    return inWriteTransaction(connection, [&] {
        connection.execute(contact::deleteStatement(id));
        if (sqlite3_changes(connection.handle()) == 0)
            return WriteOutcome::Gone;
        keptcards::remove(connection, contact::checkedId(id).toLongLong());
        return WriteOutcome::Written;
    });
}
