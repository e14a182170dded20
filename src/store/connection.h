#pragma once

#include <future>
#include <memory>

#include <QString>

#include "store/sqlitehandles.h"

class StoredNames;

// The program's one connection to its data file.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;

    bool isOpen() const { return mDb != nullptr; }
    // 0 closed, 1 open, as the window's start, its list fill and its closing
    // ask it in their numbered steps.
    int state() const { return isOpen() ? 1 : 0; }

    // The whole-file check takes time in proportion to the file; it may run
    // beside the first reads instead of before them.
    enum class Check { BeforeReturning, InBackground };

    // Opens the file named after "Data Source=" and checks that it is a sound
    // contact file; a file that is not stays closed and the reason is thrown.
    // With the check in the background only the table's layout is checked
    // before returning: reads may start, and the first write (or
    // awaitCheck()) waits for the verdict on the rest.
    void open(const QString& connectionString, Check checking = Check::BeforeReturning);
    // Waits for a check still running; a damaged file is closed and the
    // reason thrown, as open() would have.
    void awaitCheck();
    // Opens an empty in-memory database.
    void openMemory();
    // A connection of its own to the same file, read-only, for reading a part
    // of it on another thread; this one's check covers the file. Throws for
    // a connection that is closed or in memory.
    Connection openReader() const;
    void close();
    void execute(const QString& sql);

    // Throws when the connection is closed.
    sqlite3* handle() const;
    // The file it was opened on; empty for one in memory.
    const QString& path() const { return mPath; }

    // Changes whenever another connection (another copy of the program, the
    // sqlite3 tool) has committed since; this connection's own writes leave
    // it as it is.
    qint64 dataVersion() const;
    // The key of the row this connection inserted last.
    qint64 lastInsertId() const;
    // Whether a transaction the caller began is open: its reads already see
    // one state, and no other may begin inside it.
    bool inTransaction() const;
    // The names the file holds as this connection last read them, for the
    // editor's duplicate check; forgotten when the connection closes.
    StoredNames& storedNames();

private:
    DatabaseHandle mDb;
    QString mPath;
    std::future<QString> mVerdict;
    std::unique_ptr<StoredNames> mNames;
};
