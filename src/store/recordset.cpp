#include "store/recordset.h"

#include <sqlite3.h>

#include "base/apperror.h"
#include "model/storedtext.h"
#include "store/connection.h"

void Recordset::open(const QString& sql, Connection& connection, int cursorType, int lockType)
{
    if (mStatement)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    if (cursorType != 3 || lockType != 1)
        throw AppError(QStringLiteral("Only static, read-only recordsets are supported."));
    open(sql, connection);
}

void Recordset::open(const QString& sql, Connection& connection)
{
    if (mStatement)
        throw AppError(QStringLiteral("Operation is not allowed when the object is open."));
    sqlite3* db = connection.handle();
    StatementHandle statement = prepareOne(db, sql);
    if (!sqlite3_stmt_readonly(statement.get()))
        throw AppError(QStringLiteral("A recordset can only be opened on a query."));
    mEof = check(sqlite3_step(statement.get()), db) != SQLITE_ROW;
    mDb = db;
    mStatement = std::move(statement);
}

bool Recordset::eof() const
{
    requireOpen();
    return mEof;
}

int Recordset::fieldCount() const
{
    requireOpen();
    return sqlite3_column_count(mStatement.get());
}

QString Recordset::field(int position) const
{
    const QByteArrayView text = fieldUtf8(position);
    return text.isNull() ? QString() : textFromUtf8(text);
}

QByteArrayView Recordset::fieldUtf8(int position) const
{
    requireRow();
    if (position < 0 || position >= sqlite3_column_count(mStatement.get()))
        throw AppError(
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(mStatement.get(), position));
    if (!text)
        return QByteArrayView();
    return QByteArrayView(text, sqlite3_column_bytes(mStatement.get(), position));
}

void Recordset::moveNext()
{
    requireRow();
    mEof = check(sqlite3_step(mStatement.get()), mDb) != SQLITE_ROW;
}

void Recordset::close()
{
    requireOpen();
    mStatement.reset();
    mDb = nullptr;
    mEof = true;
}

void Recordset::requireOpen() const
{
    if (!mStatement)
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::requireRow() const
{
    requireOpen();
    if (mEof)
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                      "Requested operation requires a current record."));
}
