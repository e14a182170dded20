// A snapshot of a 100,000-contact data file, as taken before an import, a
// delete of several rows or a sync, against the sqlite3 tool's ".backup" of
// the same file as a process of its own.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "store/snapshots.h"
#include "support/contactgen.h"

namespace {

const int kContacts = 100000;

// A copy of the cached file in a folder of its own: the snapshots go beside
// it, and the cached file stays unwritten.
const QString& dataFile()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString copy = folder.path() + QStringLiteral("/dbContacts.mdb");
        QFile::copy(cachedContactFile(kContacts), copy);
        return copy;
    }();
    return path;
}

void BM_TakeSnapshot(benchmark::State& state)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(dataFile()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        state.SkipWithError("cannot open the data file");
        sqlite3_close(db);
        return;
    }
    for (auto _ : state)
        takeSnapshot(db, dataFile(), SnapshotReason::Sync);
    sqlite3_close(db);
}
BENCHMARK(BM_TakeSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: the stock tool, started with its arguments (no shell).
void BM_Sqlite3ToolBackup(benchmark::State& state)
{
    const QString target = QFileInfo(dataFile()).path() + QStringLiteral("/tool-backup.mdb");
    for (auto _ : state) {
        QFile::remove(target);
        QProcess tool;
        tool.start(QStringLiteral("sqlite3"), {dataFile(), QStringLiteral(".backup '%1'").arg(target)});
        if (!tool.waitForFinished(-1) || tool.exitCode() != 0) {
            state.SkipWithError("sqlite3 .backup failed");
            return;
        }
    }
}
BENCHMARK(BM_Sqlite3ToolBackup)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
