#pragma once

#include <vector>

#include <QDateTime>
#include <QString>

class Connection;
struct sqlite3;

// Copies of the data file taken before the changes that touch many contacts
// at once (an import, a delete of several rows, a sync, a restore), kept in
// a folder of their own beside the data file: the last kSnapshotsKept.
// Each is a whole, consistent SQLite file made with SQLite's backup API, so
// another copy of the program writing meanwhile leaves it either before or
// after that write, never half of it.
enum class SnapshotReason { Import, Delete, Sync, Restore };

inline constexpr int kSnapshotsKept = 10;

struct SnapshotInfo {
    QString path;
    QDateTime taken;
    qint64 bytes = 0;
    // -1 when the copy cannot be read as a contact file.
    qint64 contacts = -1;
};

// "<data folder>/snapshots".
QString snapshotFolder(const QString& dataFile);

// Copies the file the connection has open (its main database) into a new
// snapshot and drops the oldest beyond kSnapshotsKept; returns the new one's
// path. Throws, leaving nothing half-written, when it cannot.
QString takeSnapshot(Connection& connection, SnapshotReason reason);
QString takeSnapshot(sqlite3* source, const QString& dataFile, SnapshotReason reason);

// Every snapshot of that data file, oldest first.
std::vector<SnapshotInfo> listSnapshots(const QString& dataFile);

// The snapshot a user names: a path, or a name in the snapshot folder.
QString snapshotPath(const QString& dataFile, const QString& name);

// Puts a snapshot's contacts back into the data file through the connection
// that has it open, after saving the file as it is as a snapshot of its own
// (whose path is returned). The data file stays the same file: copies of the
// program that have it open see the change as another writer's. Throws when
// the snapshot is no contact file or cannot be read.
QString restoreSnapshot(Connection& connection, const QString& snapshot);
