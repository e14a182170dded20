#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "support/fakes.h"

class Connection;
struct sqlite3;

// ContactID and the thirteen data columns of one stored contact.
using StoredRow = std::array<QString, 14>;

// Reads straight through the connection's handle rather than the program's
// recordset, so that what is checked does not depend on what is tested.
std::vector<StoredRow> rowsById(sqlite3* db);
std::vector<StoredRow> rowsById(Connection& connection);
// Every line PRAGMA integrity_check gives ("ok" alone for a sound file).
QStringList integrityCheck(Connection& connection);
// Type, name, table and text of every schema entry, in name order.
QStringList schemaOf(Connection& connection);
// The first column of every row of a query; throws SQLite's message.
QStringList firstColumn(sqlite3* db, const char* sql);

QByteArray fileDigest(const QString& path);
QString connectionStringFor(const QString& path);
// The journal, WAL and shared-memory files that exist beside a data file.
QStringList sideFiles(const QString& dataFile);


// The seed of a test's randomness: RELIABILITY_SEED when set, else a fixed
// one, so that a run in CI repeats and a failure can be replayed.
std::uint64_t testSeed();
