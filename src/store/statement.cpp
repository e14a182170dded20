#include "store/statement.h"

#include <sqlite3.h>

#include "store/connection.h"

Statement::Statement(Connection& connection, const QString& sql)
    : mDb(connection.handle()), mHandle(prepareOne(mDb, sql))
{
}

void Statement::bindText(int position, QByteArrayView utf8)
{
    // An empty view may have no data; SQLite takes a null pointer as NULL,
    // and an empty field is stored as empty text.
    const char* text = utf8.isEmpty() ? "" : utf8.data();
    check(sqlite3_bind_text(mHandle.get(), position, text, static_cast<int>(utf8.size()), SQLITE_STATIC), mDb);
}

void Statement::bindInt64(int position, qint64 value)
{
    check(sqlite3_bind_int64(mHandle.get(), position, value), mDb);
}

void Statement::bindNull(int position)
{
    check(sqlite3_bind_null(mHandle.get(), position), mDb);
}

bool Statement::step()
{
    return check(sqlite3_step(mHandle.get()), mDb) == SQLITE_ROW;
}

void Statement::reset()
{
    sqlite3_reset(mHandle.get());
}

QByteArrayView Statement::text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(mHandle.get(), column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(mHandle.get(), column)) : QByteArrayView();
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(mHandle.get(), column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(mHandle.get(), column) == SQLITE_NULL;
}
