#include "store/snapshots.h"

#include <algorithm>

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/datafiles.h"
#include "store/sqlitehandles.h"

namespace {

const char kSuffix[] = ".mdb";
const char kTimeFormat[] = "yyyyMMdd-HHmmss-zzz";

const char* reasonWord(SnapshotReason reason)
{
    switch (reason) {
    case SnapshotReason::Import:
        return "import";
    case SnapshotReason::Delete:
        return "delete";
    case SnapshotReason::Sync:
        return "sync";
    case SnapshotReason::Restore:
        return "restore";
    }
    return "snapshot";
}

// One step copies every page under one read lock of the source: the copy is
// the file as of one moment. A writer holding the file keeps it busy for a
// moment; the copy waits for it as long as a save would.
void copyDatabase(sqlite3* from, sqlite3* to)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        check(sqlite3_errcode(to), to);
    int rc = SQLITE_OK;
    for (int tries = 0; tries < 250; ++tries) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(20);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw AppError(QStringLiteral("The copy of the data file could not be made: ") +
                           QString::fromUtf8(sqlite3_errstr(rc)),
                       rc);
}

qint64 contactCount(const QString& path)
{
    try {
        const DatabaseHandle db = openHandle(QFile::encodeName(path), SQLITE_OPEN_READONLY);
        const StatementHandle count = prepareOne(db.get(), QStringLiteral("select count(*) from tblContact"));
        if (check(sqlite3_step(count.get()), db.get()) == SQLITE_ROW)
            return sqlite3_column_int64(count.get(), 0);
    } catch (const AppError&) {
        // Listed as unreadable.
    }
    return -1;
}

QFileInfoList snapshotFiles(const QString& dataFile)
{
    QDir folder(snapshotFolder(dataFile));
    // The names start with the time they were taken: their order is the age.
    return folder.entryInfoList({QStringLiteral("snapshot-*") + QLatin1String(kSuffix)}, QDir::Files, QDir::Name);
}

// The time a new snapshot is named with: now, or just after the newest one
// there, so that the names' order stays the order they were taken in when
// two come within one millisecond or the clock was set back. Otherwise
// "delete" would sort before "import" of the same moment, and the newest
// could be the one dropped.
QDateTime nameTime(const QString& dataFile)
{
    QDateTime now = QDateTime::currentDateTime();
    const QFileInfoList files = snapshotFiles(dataFile);
    if (!files.isEmpty()) {
        const QDateTime newest = QDateTime::fromString(files.last().fileName().mid(9, 19), QLatin1String(kTimeFormat));
        if (newest.isValid() && newest >= now)
            now = newest.addMSecs(1);
    }
    return now;
}

void dropOldest(const QString& dataFile)
{
    QFileInfoList files = snapshotFiles(dataFile);
    while (files.size() > kSnapshotsKept)
        QFile::remove(files.takeFirst().filePath());
}

} // namespace

QString snapshotFolder(const QString& dataFile)
{
    return QFileInfo(dataFile).absolutePath() + QStringLiteral("/snapshots");
}

QString takeSnapshot(Connection& connection, SnapshotReason reason)
{
    return takeSnapshot(connection.handle(), connection.path(), reason);
}

QString takeSnapshot(sqlite3* source, const QString& dataFile, SnapshotReason reason)
{
    const QString folder = snapshotFolder(dataFile);
    if (!QFileInfo::exists(folder))
        makeFolder(folder);
    const QString stem = folder + QStringLiteral("/snapshot-") +
                         nameTime(dataFile).toString(QLatin1String(kTimeFormat)) + QLatin1Char('-') +
                         QLatin1String(reasonWord(reason));
    QString path = stem + QLatin1String(kSuffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QLatin1Char('-') + QString::number(n) + QLatin1String(kSuffix);
    // Made under another name and renamed when whole: a snapshot listed is
    // always complete.
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    try {
        DatabaseHandle target =
            openHandle(QFile::encodeName(partial), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
        copyDatabase(source, target.get());
        target.reset();
        if (!QFile::rename(partial, path))
            throw AppError(QStringLiteral("Cannot name the snapshot %1").arg(path));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    dropOldest(dataFile);
    return path;
}

std::vector<SnapshotInfo> listSnapshots(const QString& dataFile)
{
    std::vector<SnapshotInfo> found;
    for (const QFileInfo& file : snapshotFiles(dataFile)) {
        SnapshotInfo info;
        info.path = file.filePath();
        info.taken = QDateTime::fromString(file.fileName().mid(9, 19), QLatin1String(kTimeFormat));
        if (!info.taken.isValid())
            info.taken = file.lastModified();
        info.bytes = file.size();
        info.contacts = contactCount(info.path);
        found.push_back(info);
    }
    return found;
}

QString snapshotPath(const QString& dataFile, const QString& name)
{
    if (name.contains(QLatin1Char('/')))
        return QFileInfo(name).absoluteFilePath();
    QString path = snapshotFolder(dataFile) + QLatin1Char('/') + name;
    if (!QFileInfo::exists(path) && !name.endsWith(QLatin1String(kSuffix)))
        path += QLatin1String(kSuffix);
    return path;
}

QString restoreSnapshot(Connection& connection, const QString& snapshot)
{
    if (!QFileInfo(snapshot).isFile())
        throw AppError(QStringLiteral("There is no snapshot %1").arg(snapshot), 53);
    if (contactCount(snapshot) < 0)
        throw AppError(QStringLiteral("%1 is no contact file that can be read").arg(snapshot));
    // Opened before the file's own snapshot is taken, which may drop the
    // oldest: an open file stays readable.
    const DatabaseHandle source = openHandle(QFile::encodeName(snapshot), SQLITE_OPEN_READONLY);
    const QString saved = takeSnapshot(connection, SnapshotReason::Restore);
    copyDatabase(source.get(), connection.handle());
    return saved;
}
