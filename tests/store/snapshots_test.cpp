#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/apperror.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/snapshots.h"
#include "support/tempenv.h"

namespace {

qint64 countIn(const QString& path)
{
    return firstValueIn(path, "select count(*) from tblContact").toLongLong();
}

QString integrity(const QString& path)
{
    return firstValueIn(path, "pragma integrity_check");
}

// Another program writing two contacts per transaction, a transaction every
// millisecond or so: a copy holding an odd number of them caught a write
// half done.
class PairWriter {
public:
    explicit PairWriter(const QString& file)
        : mThread([this, path = QFile::encodeName(file)] {
              sqlite3* db = nullptr;
              sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
              sqlite3_busy_timeout(db, 5000);
              while (!mStop) {
                  if (sqlite3_exec(db,
                                   "begin immediate; insert into tblContact (ContactName) values ('a');"
                                   "insert into tblContact (ContactName) values ('b'); commit",
                                   nullptr, nullptr, nullptr) == SQLITE_OK)
                      ++mPairs;
                  else
                      sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
              sqlite3_close(db);
          })
    {
    }
    ~PairWriter()
    {
        mStop = true;
        mThread.join();
    }
    int pairs() const { return mPairs; }

private:
    std::atomic<bool> mStop{false};
    std::atomic<int> mPairs{0};
    std::thread mThread;
};

} // namespace

TEST(Snapshots, TheLastTenAreKeptInTheirOwnFolderWithTheirCounts)
{
    TempEnv env;
    env.installDataFile();
    Connection connection;
    connection.open(env.connectionString());
    QStringList taken;
    for (int i = 0; i < kSnapshotsKept + 2; ++i) {
        connection.execute(contact::insertStatement({QStringLiteral("Person %1").arg(i)}));
        taken << takeSnapshot(connection, i % 2 ? SnapshotReason::Import : SnapshotReason::Delete);
    }
    const std::vector<SnapshotInfo> kept = listSnapshots(env.dataFile());
    ASSERT_EQ(kept.size(), static_cast<size_t>(kSnapshotsKept));
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].path, taken[static_cast<qsizetype>(i) + 2]);
        EXPECT_EQ(kept[i].contacts, static_cast<qint64>(i) + 3);
        EXPECT_EQ(kept[i].bytes, QFileInfo(kept[i].path).size());
        EXPECT_LE(kept[i].taken.secsTo(QDateTime::currentDateTime()), 60);
        EXPECT_EQ(QFileInfo(kept[i].path).absolutePath(), QFileInfo(env.dataFile()).absolutePath() + "/snapshots");
    }
    EXPECT_FALSE(QFileInfo::exists(taken[0]));
    // Nothing but the snapshots in their folder.
    EXPECT_EQ(QDir(snapshotFolder(env.dataFile())).entryList(QDir::Files).size(), kSnapshotsKept);
}

TEST(Snapshots, CopiesAndRestoresAreWholeWhileAnotherProgramWrites)
{
    TempEnv env;
    env.installDataFile();
    Connection connection;
    connection.open(env.connectionString());
    QStringList taken;
    {
        PairWriter writer(env.dataFile());
        while (writer.pairs() < 20)
            std::this_thread::yield();
        for (int i = 0; i < 5; ++i)
            taken << takeSnapshot(connection, SnapshotReason::Sync);
        // At least one pair more than any snapshot so far holds, however
        // the threads were scheduled.
        const int copied = writer.pairs();
        while (writer.pairs() <= copied)
            std::this_thread::yield();
        const QString saved = restoreSnapshot(connection, taken[1]);
        taken << saved;
        EXPECT_GT(writer.pairs(), 20);
    }
    for (const QString& snapshot : taken) {
        SCOPED_TRACE(snapshot.toStdString());
        EXPECT_EQ(integrity(snapshot), "ok");
        EXPECT_EQ(countIn(snapshot) % 2, 0);
        EXPECT_GT(countIn(snapshot), 0);
    }
    EXPECT_EQ(integrity(env.dataFile()), "ok");
    EXPECT_EQ(countIn(env.dataFile()) % 2, 0);
    // The restored copy held fewer contacts than the file saved before it.
    EXPECT_LT(countIn(taken[1]), countIn(taken.last()));
    EXPECT_THROW(restoreSnapshot(connection, env.root() + "/none.mdb"), AppError);
}
