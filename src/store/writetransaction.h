#pragma once

#include <sqlite3.h>

#include <QString>

#include "store/connection.h"

// Runs work in one write transaction and returns what it returns. BEGIN
// IMMEDIATE takes the write lock first (after the start-up check's verdict,
// as every write does), so nothing can come between a check and the write
// it guards; anything work throws rolls the whole of it back.
template <typename Work> auto inWriteTransaction(Connection& connection, Work work)
{
    connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        auto result = work();
        connection.execute(QStringLiteral("COMMIT"));
        return result;
    } catch (...) {
        sqlite3_exec(connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}
