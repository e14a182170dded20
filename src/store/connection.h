#pragma once

#include <memory>

#include <QString>

#include "store/sqlitehandles.h"

// The program's one connection to its data file.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&&) = default;
    Connection& operator=(Connection&&) = default;

    // 0 closed, 1 open.
    int state() const { return mDb ? 1 : 0; }

    // Opens the file named after "Data Source=" and checks that it is a sound
    // contact file; a file that is not stays closed and the reason is thrown.
    void open(const QString& connectionString);
    // Opens an in-memory database with the same text rules.
    void openMemory();
    void close();
    void execute(const QString& sql);

    // Throws when the connection is closed.
    sqlite3* handle() const;

private:
    DatabaseHandle mDb;
};
