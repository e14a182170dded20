#include "store/samename.h"

#include <sqlite3.h>

#include "model/storedtext.h"
#include "store/asciicase.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/sqlitehandles.h"

SameName::SameName(const QString& name, const CaseFolding& folding)
    : mFolding(folding), mFolded(folding.fold(name)), mFoldedUtf8(mFolded.toUtf8()),
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

bool isNameStored(Connection& connection, const SameName& name)
{
    sqlite3* db = connection.handle();
    const StatementHandle names = prepareOne(db, contact::namesQuery());
    while (check(sqlite3_step(names.get()), db) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(names.get(), 1));
        if (name.matches(QByteArrayView(text, text ? sqlite3_column_bytes(names.get(), 1) : 0)))
            return true;
    }
    return false;
}
