#include "store/session.h"

#include <cstring>

#include <sqlite3.h>

#include "base/apperror.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/likepattern.h"
#include "store/textrules.h"

namespace {

// Texts as the data file hands them out, for the text rules to be tried on:
// the search's matching only finds "Борис" and "Straße" when letter case is
// folded outside ASCII too, and fully ("ß" against "SS"); the list's name
// order takes "ÉMILE" and "émile" for the same name.
const char kTextRulesProbe[] = "SELECT 'Борис', 'Straße', 'ÉMILE', 'émile'";

QByteArrayView columnText(sqlite3_stmt* statement, int column)
{
    return QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                          sqlite3_column_bytes(statement, column));
}

bool patternMatches(const char* pattern, QByteArrayView text)
{
    return LikePattern(pattern, static_cast<int>(std::strlen(pattern)), 0, CaseFolding::forUserLocale())
        .matches(text.data(), static_cast<int>(text.size()));
}

} // namespace

StoreObjects::StoreObjects() = default;
StoreObjects::~StoreObjects() = default;
StoreObjects::StoreObjects(StoreObjects&&) noexcept = default;
StoreObjects& StoreObjects::operator=(StoreObjects&&) noexcept = default;

StoreObjects makeStoreObjects()
{
    StoreObjects objects;
    objects.connection = std::make_unique<Connection>();
    objects.connection->openMemory();
    sqlite3* db = objects.connection->handle();
    objects.statement = prepareOne(db, QString::fromUtf8(kTextRulesProbe));
    sqlite3_stmt* texts = objects.statement.get();
    if (check(sqlite3_step(texts), db) != SQLITE_ROW || !patternMatches("бор%", columnText(texts, 0)) ||
        !patternMatches("STRASSE", columnText(texts, 1)))
        throw AppError(QStringLiteral("The store's case-insensitive text rules are not in place"));
    const QByteArrayView upper = columnText(texts, 2);
    const QByteArrayView lower = columnText(texts, 3);
    if (compareNoCase(upper.data(), static_cast<int>(upper.size()), lower.data(), static_cast<int>(lower.size())) !=
        0)
        throw AppError(QStringLiteral("The list's name order is not available"));
    sqlite3_reset(texts);
    return objects;
}

Session::Session(Messages& messages_, ProgramEnd& programEnd_, QString applicationFolder_)
    : messages(messages_), programEnd(programEnd_), applicationFolder(std::move(applicationFolder_))
{
}

Session::~Session() = default;

Connection& Session::connection() const
{
    if (!gConn)
        throw AppError::objectNotSet();
    return *gConn;
}
