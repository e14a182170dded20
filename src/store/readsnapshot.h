#pragma once

#include <QtGlobal>

class Connection;
struct sqlite3;

// Reads on one connection that all see one state of the data file: from the
// constructor to the destructor the connection holds its read lock, and in a
// file with a rollback journal (the only kind the program keeps) no writer
// can commit while any reader holds one.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Connection& connection);
    // On a connection the store opened for itself (a search's side reader).
    explicit ReadSnapshot(sqlite3* db);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    // The data version of this state: compared with a later one on the same
    // connection, it tells whether another connection has committed since.
    qint64 dataVersion() const { return mDataVersion; }
    // The file's change counter in this state (bytes 24 to 27 of its header),
    // which every commit changes: unlike the data version it is the same on
    // every connection that sees the same state.
    quint32 changeCounter() const { return mChangeCounter; }

private:
    sqlite3* mDb;
    qint64 mDataVersion = 0;
    quint32 mChangeCounter = 0;
};
