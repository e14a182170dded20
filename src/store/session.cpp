#include "store/session.h"

#include <sqlite3.h>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/textrules.h"

namespace {

// The search's LIKE at work: it only holds when letter case is folded outside
// ASCII too, and fully ("ß" against "SS").
const char kTextRulesProbe[] = "SELECT 'Борис' LIKE 'бор%' AND 'Straße' LIKE 'STRASSE'";

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
    if (check(sqlite3_step(objects.statement.get()), db) != SQLITE_ROW ||
        sqlite3_column_int(objects.statement.get(), 0) != 1)
        throw AppError(QStringLiteral("The store's case-insensitive text rules are not in place"));
    sqlite3_reset(objects.statement.get());
    // The list's name order comes from the same ICU data.
    const QByteArray upper = QStringLiteral("ÉMILE").toUtf8();
    const QByteArray lower = QStringLiteral("émile").toUtf8();
    if (compareNoCase(upper.constData(), static_cast<int>(upper.size()), lower.constData(),
                      static_cast<int>(lower.size())) != 0)
        throw AppError(QStringLiteral("The list's name order is not available"));
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
