#pragma once

#include <functional>
#include <memory>

#include <QByteArrayView>
#include <QString>

#include "store/session.h"

class Messages;

// Creates the store's objects (the session's factory when it has one, which
// tests use to play a machine whose store does not work); throws when they
// cannot be.
StoreObjects createStoreObjects(const Session& session);

// Checks at start-up that the store's objects can be created and, when they
// cannot, offers to run the update package beside the program. Returns false
// only when the user chose to stop and the program was ended; the caller then
// returns at once.
bool IsADOInstalled(Session& session);

// "64" on a 64-bit machine, "32" on any other, empty text when the machine
// cannot be told.
QString GetAddressWidth();
// The rule GetAddressWidth applies to uname's machine name.
QString addressWidthOfMachine(QByteArrayView machine);

// True when a spreadsheet program can be found (see SpreadsheetProgram::find);
// otherwise says so in its own message and returns false.
bool SaveResultsAsExcelFileIsExcelInstalled(Messages& messages);
