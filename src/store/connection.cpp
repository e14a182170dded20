#include "store/connection.h"

#include <sqlite3.h>

#include <QFile>

#include "app/apperror.h"
#include "store/contacttable.h"
#include "store/paths.h"
#include "store/textrules.h"

std::unique_ptr<Connection> gConn;

namespace {

// Long enough for another copy of the program to finish a save, short enough
// that a lock held for good ends in a report rather than a frozen window.
const int kBusyTimeoutMs = 5000;

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
    registerTextRules(db.get());
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    return db;
}

QString firstText(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &raw, nullptr), db);
    StatementHandle statement(raw);
    if (check(sqlite3_step(statement.get()), db) != SQLITE_ROW)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
}

// Returns false when the file holds no tblContact yet; throws a description
// of what is wrong when the file is damaged or its tblContact cannot take the
// program's statements.
bool verifyContactFile(sqlite3* db)
{
    const QString verdict = firstText(db, "PRAGMA quick_check");
    if (verdict != QLatin1String("ok"))
        throw AppError(verdict, SQLITE_CORRUPT);

    const QString kind = firstText(db, "select type from sqlite_master where lower(name) = 'tblcontact'");
    if (kind.isEmpty())
        return false;
    if (kind != QLatin1String("table"))
        throw AppError(QStringLiteral("tblContact is a %1, not a table").arg(kind), SQLITE_CORRUPT);

    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, "PRAGMA table_info(tblContact)", -1, &raw, nullptr), db);
    StatementHandle info(raw);
    QStringList columns;
    bool numberedKey = false;
    while (check(sqlite3_step(info.get()), db) == SQLITE_ROW) {
        if (columns.isEmpty())
            numberedKey = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2)))
                                  .compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0 &&
                          sqlite3_column_int(info.get(), 5) == 1;
        columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)));
    }
    const QStringList expected = contact::columnNames();
    bool same = columns.size() == expected.size();
    for (qsizetype i = 0; same && i < columns.size(); ++i)
        same = columns[i].compare(expected[i], Qt::CaseInsensitive) == 0;
    if (!same)
        throw AppError(QStringLiteral("its table tblContact has the columns ") + columns.join(QLatin1Char(',')) +
                           QStringLiteral(" instead of ") + expected.join(QLatin1Char(',')),
                       SQLITE_CORRUPT);
    if (!numberedKey)
        throw AppError(QStringLiteral("its column ContactID is not the numbered key"), SQLITE_CORRUPT);
    return true;
}

} // namespace

void Connection::open(const QString& connectionString)
{
    if (mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    const QString path = dataSourceOf(connectionString);
    DatabaseHandle db = openHandle(QFile::encodeName(path), SQLITE_OPEN_READWRITE);
    // A single data file, safe to copy while the program is closed, that a
    // crash at any moment leaves whole.
    bool hasTable = false;
    try {
        hasTable = verifyContactFile(db.get());
        check(sqlite3_exec(db.get(), "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr),
              db.get());
    } catch (const AppError& e) {
        // A file another copy of the program holds locked is not damaged.
        if (e.number() == SQLITE_BUSY || e.number() == SQLITE_LOCKED)
            throw;
        throw AppError(QStringLiteral("The data file %1 is damaged or is not a contact file: ").arg(path) +
                           e.description(),
                       e.number());
    }
    if (!hasTable) {
        // A new, empty database (a 0-byte file included) gets its table.
        check(sqlite3_exec(db.get(), contact::createTableStatement().toUtf8().constData(), nullptr, nullptr, nullptr),
              db.get());
    }
    mDb = std::move(db);
}

void Connection::openMemory()
{
    if (mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    mDb = openHandle(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
}

void Connection::close()
{
    if (!mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
    mDb.reset();
}

void Connection::execute(const QString& sql)
{
    sqlite3* db = handle();
    StatementHandle statement = prepareOne(db, sql);
    while (check(sqlite3_step(statement.get()), db) == SQLITE_ROW) {
    }
}

sqlite3* Connection::handle() const
{
    if (!mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
    return mDb.get();
}

Connection& sharedConnection()
{
    if (!gConn)
        throw AppError(QStringLiteral("Object variable or With block variable not set"), 91);
    return *gConn;
}
