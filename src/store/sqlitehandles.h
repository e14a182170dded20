#pragma once

#include <memory>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct sqlite3;
struct sqlite3_stmt;

struct DatabaseCloser {
    void operator()(sqlite3* db) const;
};
struct StatementCloser {
    void operator()(sqlite3_stmt* statement) const;
};

using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementCloser>;

// Opens a database as every connection of the program does: SQLite's plain
// result codes, and a wait for locks another copy holds while it saves.
DatabaseHandle openHandle(const QByteArray& path, int flags);

// Every SQLite return code goes through here: anything but success becomes an
// AppError carrying SQLite's own message.
int check(int rc, sqlite3* db);

// Prepares exactly one statement; text after it (a second statement smuggled
// into a value) is refused rather than silently dropped or run.
StatementHandle prepareOne(sqlite3* db, const QString& sql);

// PRAGMA data_version: changes whenever another connection commits.
qint64 dataVersionOf(sqlite3* db);
