#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "store/sqlitehandles.h"
#include "store/viewsettings.h"

class Connection;
class Messages;
class ProgramEnd;

// The store's objects the start-up check creates: a connection (in memory)
// and a prepared statement standing for the recordset, whose texts the
// program's text rules are tried on. Either may be missing.
struct StoreObjects {
    std::unique_ptr<Connection> connection;
    StatementHandle statement;

    StoreObjects();
    ~StoreObjects();
    StoreObjects(StoreObjects&&) noexcept;
    StoreObjects& operator=(StoreObjects&&) noexcept;
};

// The store's objects as the start-up check creates them for real; throws
// when they cannot be.
StoreObjects makeStoreObjects();

// What one run of the program shares: the message seam, the program's end,
// the folder the program was started from, the one connection, the view
// settings, and the seams of the start-up check. The application object owns
// it and hands it to every window and command; tests make their own.
struct Session {
    Session(Messages& messages, ProgramEnd& programEnd, QString applicationFolder);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Messages& messages;
    ProgramEnd& programEnd;
    // The folder that holds the executable, without a trailing "/": the
    // template, the pointer, the skin and the update packages live there.
    const QString applicationFolder;
    // The program's one connection: created and opened by the main window's
    // load, closed and released when it closes.
    std::unique_ptr<Connection> gConn;
    ViewSettings settings;
    // Empty: the real store objects and the machine's address width.
    std::function<StoreObjects()> storeObjects;
    std::function<QString()> addressWidth;

    // gConn itself; throws when it has not been created or was released.
    Connection& connection() const;
};
