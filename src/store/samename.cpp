#include "store/samename.h"

#include <sqlite3.h>

#include "model/storedtext.h"
#include "store/asciicase.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/readsnapshot.h"
#include "store/sqlitehandles.h"

SameName::SameName(const QString& name, const CaseFolding& folding)
    : mFolding(folding), mUtf8(name.toUtf8()), mFolded(folding.fold(name)), mFoldedUtf8(mFolded.toUtf8()),
      // Turkic folding turns the ASCII "I" into a dotless i: no shortcut there.
      mAsciiShortcut(!folding.isTurkic()), mFoldedAscii(isAscii(mFoldedUtf8))
{
}

bool SameName::matches(QByteArrayView name) const
{
    // An ASCII name folds to ASCII: it can only match an ASCII text, and byte
    // by byte without any case tables. A list or a file may hold a hundred
    // thousand names and this runs on every save.
    if (mAsciiShortcut && isAscii(name)) {
        if (!mFoldedAscii || name.size() != mFoldedUtf8.size())
            return false;
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (asciiLower(name[i]) != mFoldedUtf8[i])
                return false;
        }
        return true;
    }
    return mFolding.fold(textFromUtf8(name)) == mFolded;
}

bool StoredNames::contains(Connection& connection, const SameName& name)
{
    if (!mState || *mState != stateOf(connection) || mFolding != &name.folding()) {
        forget();
        sqlite3* db = connection.handle();
        // The state and the names as of one moment: a write transaction holds
        // it already, outside one a snapshot does.
        std::optional<ReadSnapshot> snapshot;
        if (sqlite3_get_autocommit(db))
            snapshot.emplace(connection);
        const State state = stateOf(connection);
        TakenNames names(name.folding());
        const StatementHandle query = prepareOne(db, contact::namesQuery());
        while (check(sqlite3_step(query.get()), db) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(query.get(), 1));
            names.add(QByteArrayView(text, text ? sqlite3_column_bytes(query.get(), 1) : 0));
        }
        mFolding = &name.folding();
        mNames.emplace(std::move(names));
        mState = state;
    }
    return mNames->contains(name.utf8());
}

std::optional<bool> StoredNames::containsAsOf(Connection& connection, qint64 dataVersion, const SameName& name)
{
    if (!connection.isOpen() || !mState || mState->version != dataVersion ||
        mState->changes != changesSoFar(connection) || mFolding != &name.folding())
        return std::nullopt;
    return mNames->contains(name.utf8());
}

bool StoredNames::currentBefore(Connection& connection, qint64 changesBefore) const
{
    return mState && mState->version == connection.dataVersion() && mState->changes == changesBefore;
}

void StoredNames::added(Connection& connection, QByteArrayView name, qint64 changesBefore)
{
    if (!currentBefore(connection, changesBefore)) {
        forget();
        return;
    }
    mNames->add(name);
    mState = stateOf(connection);
}

void StoredNames::renamed(Connection& connection, QByteArrayView from, QByteArrayView to, qint64 changesBefore)
{
    if (!currentBefore(connection, changesBefore)) {
        forget();
        return;
    }
    mNames->remove(from);
    mNames->add(to);
    mState = stateOf(connection);
}

void StoredNames::forget()
{
    mState.reset();
    mNames.reset();
}

qint64 StoredNames::changesSoFar(Connection& connection)
{
    return sqlite3_total_changes64(connection.handle());
}

StoredNames::State StoredNames::stateOf(Connection& connection)
{
    return {connection.dataVersion(), changesSoFar(connection)};
}

bool isNameStored(Connection& connection, const SameName& name)
{
    return connection.storedNames().contains(connection, name);
}
