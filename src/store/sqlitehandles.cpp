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
