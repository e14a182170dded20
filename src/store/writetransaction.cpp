#include "store/writetransaction.h"

#include <sqlite3.h>

#include <QString>

#include "store/connection.h"

WriteTransaction::WriteTransaction(Connection& connection) : mConnection(connection)
{
    connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
}

WriteTransaction::~WriteTransaction()
{
    if (!mOpen)
        return;
    try {
        sqlite3_exec(mConnection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    } catch (...) {
        // A connection closed meanwhile took its transaction with it.
    }
}

void WriteTransaction::commit()
{
    mConnection.execute(QStringLiteral("COMMIT"));
    mOpen = false;
}
