#include "store/sqlitehandles.h"

#include <sqlite3.h>

#include "base/apperror.h"

void DatabaseCloser::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

void StatementCloser::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

namespace {

// Long enough for another copy of the program to finish a save, short enough
// that a lock held for good ends in a report rather than a frozen window.
const int kBusyTimeoutMs = 5000;

} // namespace

DatabaseHandle openHandle(const QByteArray& path, int flags)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.constData(), &raw, flags, nullptr);
    DatabaseHandle db(raw);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        throw AppError(message, rc);
    }
    sqlite3_extended_result_codes(db.get(), 0);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    return db;
}

int check(int rc, sqlite3* db)
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return rc;
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw AppError(QString::fromUtf8(message ? message : sqlite3_errstr(rc)), rc);
}

StatementHandle prepareOne(sqlite3* db, const QString& sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &raw, &tail);
    StatementHandle statement(raw);
    check(rc, db);
    if (!statement)
        throw AppError(QStringLiteral("Command text was not set for the command object."));
    if (tail && *tail) {
        // Whitespace and comments after the statement prepare to nothing.
        sqlite3_stmt* rest = nullptr;
        const char* restTail = nullptr;
        const int restRc = sqlite3_prepare_v2(db, tail, -1, &rest, &restTail);
        StatementHandle restHandle(rest);
        if (restRc != SQLITE_OK || rest)
            throw AppError(QStringLiteral("Characters found after end of SQL statement."));
    }
    return statement;
}

qint64 dataVersionOf(sqlite3* db)
{
    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &raw, nullptr), db);
    const StatementHandle statement(raw);
    check(sqlite3_step(statement.get()), db);
    return sqlite3_column_int64(statement.get(), 0);
}
