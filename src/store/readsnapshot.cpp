#include "store/readsnapshot.h"

#include <sqlite3.h>

#include "store/connection.h"
#include "store/sqlitehandles.h"

namespace {

quint32 changeCounterOf(sqlite3* db)
{
    sqlite3_file* file = nullptr;
    unsigned char bytes[4] = {};
    // An in-memory database has no file and no other writer.
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods ||
        file->pMethods->xRead(file, bytes, sizeof bytes, 24) != SQLITE_OK)
        return 0;
    return (quint32{bytes[0]} << 24) | (quint32{bytes[1]} << 16) | (quint32{bytes[2]} << 8) | quint32{bytes[3]};
}

} // namespace

ReadSnapshot::ReadSnapshot(Connection& connection) : ReadSnapshot(connection.handle()) {}

ReadSnapshot::ReadSnapshot(sqlite3* db) : mDb(db)
{
    // A deferred BEGIN takes no lock yet; reading the schema takes the read
    // lock, so what is read next belongs to the state every later read in
    // this transaction sees. A read needs no verdict of the file's check.
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    try {
        check(sqlite3_exec(db, "SELECT 1 FROM sqlite_schema LIMIT 1", nullptr, nullptr, nullptr), db);
        mDataVersion = dataVersionOf(db);
        mChangeCounter = changeCounterOf(db);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

ReadSnapshot::~ReadSnapshot()
{
    // Only reads happened: ending the transaction either way just lets go of
    // the lock.
    sqlite3_exec(mDb, "ROLLBACK", nullptr, nullptr, nullptr);
}
