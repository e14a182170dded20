#pragma once

#include <functional>
#include <memory>

#include <QByteArrayView>
#include <QString>

#include "store/sqlitehandles.h"

class Connection;

// The store's objects the start-up check creates: a connection (in memory,
// with the program's text rules) and a prepared statement standing for the
// recordset. Either may be missing.
struct StoreObjects {
    std::unique_ptr<Connection> connection;
    StatementHandle statement;

    StoreObjects();
    ~StoreObjects();
    StoreObjects(StoreObjects&&) noexcept;
    StoreObjects& operator=(StoreObjects&&) noexcept;
};

// Creates the store's objects; throws when they cannot be. Tests replace it to
// play a machine whose store does not work; an empty function puts the real
// one back.
void setStoreObjectsFactory(std::function<StoreObjects()> factory);
StoreObjects createStoreObjects();

// Checks at start-up that the store's objects can be created and, when they
// cannot, offers to run the update package beside the program. Returns false
// only when the user chose to stop and the program was ended (endProgram(0));
// the caller then returns at once.
bool IsADOInstalled();

// "64" on a 64-bit machine, "32" on any other, empty text when the machine
// cannot be told.
QString GetAddressWidth();
// The rule GetAddressWidth applies to uname's machine name.
QString addressWidthOfMachine(QByteArrayView machine);
// Tests replace where IsADOInstalled takes the address width from; an empty
// function puts GetAddressWidth back.
void setAddressWidthSource(std::function<QString()> source);

// True when a spreadsheet program can be found (see SpreadsheetProgram::find);
// otherwise says so in its own message and returns false.
bool SaveResultsAsExcelFileIsExcelInstalled();
