#include "store/connection.h"

#include <future>

#include <sqlite3.h>

#include <QFile>

#include "base/apperror.h"
#include "store/contacttable.h"
#include "store/paths.h"
#include "store/samename.h"

namespace {

QString firstText(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &raw, nullptr), db);
    StatementHandle statement(raw);
    if (check(sqlite3_step(statement.get()), db) != SQLITE_ROW)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
}

QString columnText(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
}

// The type affinity SQLite gives a declared column type.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

Affinity affinityOf(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
        type.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (type.isEmpty() || type.contains(QLatin1String("BLOB")))
        return Affinity::Blob;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

[[noreturn]] void refuse(const QString& reason)
{
    throw AppError(reason, SQLITE_CORRUPT);
}

// The verdict on the whole file: "ok", or what is damaged.
QString wholeFileVerdict(sqlite3* db)
{
    return firstText(db, "PRAGMA quick_check");
}

void requireWholeFile(sqlite3* db)
{
    const QString verdict = wholeFileVerdict(db);
    if (verdict != QLatin1String("ok"))
        throw AppError(verdict, SQLITE_CORRUPT);
}

// Bytes 18 and 19 of the header say 2 for a file in WAL mode.
bool markedForWal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && (header[18] == 2 || header[19] == 2);
}

AppError damaged(const QString& path, const AppError& reason)
{
    return AppError(QStringLiteral("The data file %1 is damaged or is not a contact file: ").arg(path) +
                        reason.description(),
                    reason.number());
}

// Returns false when the file holds no tblContact yet; throws a description
// of what is wrong when its tblContact cannot take the program's statements
// without losing or changing what is stored. Reads the schema only.
bool verifyContactTable(sqlite3* db)
{
    const QString kind = firstText(db, "select type from sqlite_master where lower(name) = 'tblcontact'");
    if (kind.isEmpty())
        return false;
    if (kind != QLatin1String("table"))
        refuse(QStringLiteral("tblContact is a %1, not a table").arg(kind));
    const QString definition =
        firstText(db, "select sql from sqlite_master where type = 'table' and lower(name) = 'tblcontact'")
            .simplified()
            .toUpper();
    if (definition.startsWith(QLatin1String("CREATE VIRTUAL TABLE")))
        refuse(QStringLiteral("its tblContact is a virtual table"));
    // REPLACE would make a save silently delete another contact that
    // happens to share a value.
    if (definition.contains(QLatin1String("ON CONFLICT REPLACE")))
        refuse(QStringLiteral("its tblContact replaces rows on conflict"));

    // table_xinfo, unlike table_info, also lists generated columns, which
    // "select *" returns and would shift every value by one place.
    sqlite3_stmt* raw = nullptr;
    check(sqlite3_prepare_v2(db, "PRAGMA table_xinfo(tblContact)", -1, &raw, nullptr), db);
    StatementHandle info(raw);
    QStringList columns;
    bool numberedKey = false;
    QString badType;
    bool hidden = false;
    while (check(sqlite3_step(info.get()), db) == SQLITE_ROW) {
        const QString type = columnText(info.get(), 2);
        if (columns.isEmpty())
            numberedKey = type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0 &&
                          sqlite3_column_int(info.get(), 5) == 1;
        else if (badType.isEmpty() && affinityOf(type) != Affinity::Text && affinityOf(type) != Affinity::Blob)
            badType = columnText(info.get(), 1) + QLatin1Char(' ') + type;
        hidden = hidden || sqlite3_column_int(info.get(), 6) != 0;
        columns << columnText(info.get(), 1);
    }
    const QStringList expected = contact::columnNames();
    bool same = columns.size() == expected.size() && !hidden;
    for (qsizetype i = 0; same && i < columns.size(); ++i)
        same = columns[i].compare(expected[i], Qt::CaseInsensitive) == 0;
    if (!same)
        refuse(QStringLiteral("its table tblContact has the columns ") + columns.join(QLatin1Char(',')) +
               (hidden ? QStringLiteral(" (some of them generated or hidden)") : QString()) +
               QStringLiteral(" instead of ") + expected.join(QLatin1Char(',')));
    if (!numberedKey)
        refuse(QStringLiteral("its column ContactID is not the numbered key"));
    // A number-typed column would store "007" as 7.
    if (!badType.isEmpty())
        refuse(QStringLiteral("its column %1 does not keep text as typed").arg(badType));
    // A WITHOUT ROWID table keeps its key in an index of its own.
    if (!firstText(db, "select name from pragma_index_list('tblContact') where origin = 'pk'").isEmpty())
        refuse(QStringLiteral("its tblContact is a WITHOUT ROWID table"));
    // A trigger could change or delete other contacts behind every save.
    const QString trigger =
        firstText(db, "select name from sqlite_master where type = 'trigger' and lower(tbl_name) = 'tblcontact'");
    if (!trigger.isEmpty())
        refuse(QStringLiteral("its tblContact has the trigger %1").arg(trigger));
    return true;
}

} // namespace

Connection::Connection() = default;
Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

StoredNames& Connection::storedNames()
{
    if (!mNames)
        mNames = std::make_unique<StoredNames>();
    return *mNames;
}

void Connection::open(const QString& connectionString, Check checking)
{
    if (mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    const QString path = dataSourceOf(connectionString);
    // One thread uses a connection at a time: SQLite's own locking of it
    // would cost a mutex on every cell read.
    DatabaseHandle db = openHandle(QFile::encodeName(path), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // A single data file, safe to copy while the program is closed, that a
    // crash at any moment leaves whole.
    bool hasTable = false;
    try {
        hasTable = verifyContactTable(db.get());
        // A file without the table is about to be written, and one in WAL
        // mode to be turned back to a journal: such files are checked first.
        if (checking == Check::BeforeReturning || !hasTable || markedForWal(path)) {
            checking = Check::BeforeReturning;
            requireWholeFile(db.get());
        }
        check(sqlite3_exec(db.get(), "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr),
              db.get());
    } catch (const AppError& e) {
        // A file another copy of the program holds locked is not damaged.
        if (e.number() == SQLITE_BUSY || e.number() == SQLITE_LOCKED)
            throw;
        throw damaged(path, e);
    }
    if (!hasTable) {
        // A new, empty database (a 0-byte file included) gets its table.
        check(sqlite3_exec(db.get(), contact::createTableStatement().toUtf8().constData(), nullptr, nullptr, nullptr),
              db.get());
    } else if (checking == Check::InBackground) {
        // A connection of its own, read-only, on another thread; the schema
        // read above has already rolled back any hot journal.
        const QByteArray file = QFile::encodeName(path);
        mVerdict = std::async(std::launch::async, [file]() -> QString {
            DatabaseHandle reader = openHandle(file, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
            return wholeFileVerdict(reader.get());
        });
    }
    mPath = path;
    mDb = std::move(db);
}

void Connection::awaitCheck()
{
    if (!mVerdict.valid())
        return;
    QString verdict;
    int number = SQLITE_CORRUPT;
    try {
        verdict = mVerdict.get();
    } catch (const AppError& e) {
        verdict = e.description();
        number = e.number();
    }
    if (verdict == QLatin1String("ok"))
        return;
    mDb.reset();
    if (number == SQLITE_BUSY || number == SQLITE_LOCKED)
        throw AppError(verdict, number);
    throw damaged(mPath, AppError(verdict, number));
}

qint64 Connection::dataVersion() const
{
    return dataVersionOf(handle());
}

qint64 Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(handle());
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(handle()) == 0;
}

void Connection::openMemory()
{
    if (mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    mDb = openHandle(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
}

Connection Connection::openReader() const
{
    if (!mDb || mPath.isEmpty())
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
    Connection reader;
    reader.mDb = openHandle(QFile::encodeName(mPath), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    reader.mPath = mPath;
    return reader;
}

void Connection::close()
{
    if (!mDb)
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
    if (mVerdict.valid())
        mVerdict.wait();
    mVerdict = {};
    mDb.reset();
    mPath.clear();
    mNames.reset();
}

void Connection::execute(const QString& sql)
{
    // Nothing is written to a file whose check is still out.
    awaitCheck();
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
