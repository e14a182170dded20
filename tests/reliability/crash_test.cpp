// A copy of the program killed while it saves must leave a file that opens
// whole and holds every contact it had finished saving.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <random>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "childprocess.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "storeprobe.h"
#include "support/tempenv.h"

namespace {

const int kKills = 50;

// Every field follows from the name, so a row that is there can be checked
// to be whole and not only present.
Contact crashContact(int run, int number)
{
    const QString name =
        QStringLiteral("Crash %1-%2 O'Neil").arg(run, 2, 10, QLatin1Char('0')).arg(number, 4, 10, QLatin1Char('0'));
    Contact values;
    values[contact::Field::Name] = name;
    values[contact::Field::DateOfBirth] = QStringLiteral("03/04/1975");
    for (const contact::FieldInfo& field : contact::fields()) {
        const int c = contact::indexOf(field.field);
        if (c >= contact::indexOf(contact::Field::Mobile1) && c <= contact::indexOf(contact::Field::Website))
            values[field.field] = QStringLiteral("%1 #%2").arg(name).arg(c);
    }
    // From one line to a few pages: some saves need overflow pages and some
    // a new leaf, so kills land in different kinds of write.
    const int length = (number * 977 + run * 131) % 7000;
    values[contact::Field::Remark] = name + QLatin1Char('\n') + QString(length, QLatin1Char('r'));
    return values;
}

struct CrashName {
    int run = -1;
    int number = -1;
};

CrashName parseCrashName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^Crash (\\d\\d)-(\\d{4}) O'Neil$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toInt(), match.captured(2).toInt()};
}

// A journal that the next open has to roll back: its header carries the
// magic number, which SQLite writes only once the journal is complete.
bool isHotJournal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(8) == QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
}

bool isNumber(const QByteArray& line)
{
    bool ok = false;
    line.toInt(&ok);
    return ok;
}

// Where a writer stops dead so that the kill lands inside a save on any file
// system, however fast: in the sync of the journal (the data file is still
// untouched), or before or after its n-th write to the data file (the journal
// is complete and the file half changed).
struct PausePoint {
    enum class Where { JournalSync, BeforeDataWrite, AfterDataWrite } where = Where::JournalSync;
    int dataWritesToLetThrough = 0;
};

// A file system over the default one that passes everything through until
// the pause point, then tells the test and waits to be killed. It lives only
// in the forked writer.
namespace pausing {

struct File {
    sqlite3_file base;
    sqlite3_file* real;
    int kind;
};

sqlite3_vfs* gReal = nullptr;
const ChildChannel* gChannel = nullptr;
std::optional<PausePoint> gPoint;

sqlite3_file* real(sqlite3_file* file)
{
    return reinterpret_cast<File*>(file)->real;
}

[[noreturn]] void stopHere()
{
    gChannel->say("paused");
    for (;;)
        ::pause();
}

int xWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    const bool dataFile = reinterpret_cast<File*>(file)->kind == SQLITE_OPEN_MAIN_DB;
    const bool here =
        dataFile && gPoint && gPoint->where != PausePoint::Where::JournalSync && gPoint->dataWritesToLetThrough-- == 0;
    if (here && gPoint->where == PausePoint::Where::BeforeDataWrite)
        stopHere();
    const int rc = real(file)->pMethods->xWrite(real(file), data, amount, offset);
    if (here)
        stopHere();
    return rc;
}

int xSync(sqlite3_file* file, int flags)
{
    if (reinterpret_cast<File*>(file)->kind == SQLITE_OPEN_MAIN_JOURNAL && gPoint &&
        gPoint->where == PausePoint::Where::JournalSync)
        stopHere();
    return real(file)->pMethods->xSync(real(file), flags);
}

int xClose(sqlite3_file* file)
{
    const int rc = real(file)->pMethods ? real(file)->pMethods->xClose(real(file)) : SQLITE_OK;
    file->pMethods = nullptr;
    return rc;
}

// clang-format off
const sqlite3_io_methods kMethods = {
    1, xClose,
    [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return real(f)->pMethods->xRead(real(f), b, n, o); },
    xWrite,
    [](sqlite3_file* f, sqlite3_int64 n) { return real(f)->pMethods->xTruncate(real(f), n); },
    xSync,
    [](sqlite3_file* f, sqlite3_int64* n) { return real(f)->pMethods->xFileSize(real(f), n); },
    [](sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); },
    [](sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); },
    [](sqlite3_file* f, int* r) { return real(f)->pMethods->xCheckReservedLock(real(f), r); },
    [](sqlite3_file* f, int o, void* a) { return real(f)->pMethods->xFileControl(real(f), o, a); },
    [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); },
    [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
// clang-format on

int xOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* wrapper = reinterpret_cast<File*>(file);
    wrapper->real = reinterpret_cast<sqlite3_file*>(wrapper + 1);
    wrapper->kind = flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL);
    const int rc = gReal->xOpen(gReal, name, wrapper->real, flags, outFlags);
    file->pMethods = wrapper->real->pMethods ? &kMethods : nullptr;
    (void)vfs;
    return rc;
}

// Makes the pausing file system the default for every connection opened
// after it in this process.
void install(const ChildChannel& channel)
{
    static sqlite3_vfs vfs;
    gReal = sqlite3_vfs_find(nullptr);
    vfs = *gReal;
    vfs.zName = "pausing";
    vfs.szOsFile = static_cast<int>(sizeof(File)) + gReal->szOsFile;
    vfs.xOpen = xOpen;
    gChannel = &channel;
    sqlite3_vfs_register(&vfs, 1);
}

} // namespace pausing

} // namespace

TEST(CrashDuringWrites, KilledWriterLeavesAWholeFileWithEverySavedContact)
{
    const std::uint64_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (set RELIABILITY_SEED to replay)");
    std::mt19937_64 random(seed);

    TempEnv env;
    env.installDataFile();
    const QString connectionString = env.connectionString();
    const QString journal = env.dataFile() + QStringLiteral("-journal");

    // How many contacts of each run the file must hold from now on.
    std::vector<int> keptPerRun;
    int killsLeavingAHotJournal = 0;
    int killsBeforeTheFirstSave = 0;
    int killsBeforeTheDataFileChanged = 0;
    const auto started = std::chrono::steady_clock::now();

    for (int run = 0; run < kKills; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const int savesBeforeKill = static_cast<int>(random() % 6);
        PausePoint point;
        point.where = static_cast<PausePoint::Where>(run % 3);
        point.dataWritesToLetThrough = static_cast<int>(random() % 4);
        ChildProcess writer([&](const ChildChannel& channel) {
            pausing::install(channel);
            Connection connection;
            connection.open(connectionString);
            for (int number = 0; number < 100000; ++number) {
                if (number == savesBeforeKill)
                    pausing::gPoint = point;
                connection.execute(contact::insertStatement(crashContact(run, number)));
                channel.say(QByteArray::number(number));
            }
            return 0;
        });

        int reported = 0;
        for (;;) {
            const std::optional<QByteArray> line = writer.readLine(30000);
            ASSERT_TRUE(line) << "the writer neither saved nor paused";
            if (*line == "paused")
                break;
            ASSERT_TRUE(isNumber(*line)) << "the writer stopped: " << line->constData();
            ASSERT_EQ(line->toInt(), reported);
            ++reported;
        }
        ASSERT_GE(reported, savesBeforeKill);
        writer.kill();
        const std::optional<int> status = writer.wait(10000);
        ASSERT_TRUE(status);
        ASSERT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL) << describeStatus(*status).constData();
        // Once the data file is being written, the journal that undoes it
        // must be complete.
        if (point.where == PausePoint::Where::JournalSync)
            ++killsBeforeTheDataFileChanged;
        else
            EXPECT_TRUE(isHotJournal(journal)) << "a kill inside a write to the data file left no hot journal";
        if (reported == 0)
            ++killsBeforeTheFirstSave;
        if (isHotJournal(journal))
            ++killsLeavingAHotJournal;

        // A fresh connection, as the next start would open it: a journal the
        // kill left behind is rolled back before anything is read.
        Connection fresh;
        try {
            fresh.open(connectionString);
        } catch (const std::exception& e) {
            FAIL() << "the file no longer opens: " << e.what();
        }
        EXPECT_EQ(integrityCheck(fresh), QStringList({"ok"}));
        const std::vector<StoredRow> rows = rowsById(fresh);
        fresh.close();
        // SQLite leaves a journal whose header was never completed (the kill
        // came before any page of the file changed): it is not hot and is
        // reused by the next save. A hot one must be gone.
        EXPECT_FALSE(isHotJournal(journal)) << "a hot journal survived the next open";

        std::vector<int> present(static_cast<size_t>(run) + 1, 0);
        for (const StoredRow& row : rows) {
            const CrashName crash = parseCrashName(row[1]);
            ASSERT_TRUE(crash.run >= 0 && crash.run <= run) << "a row nobody saved: " << row[1].toStdString();
            const Contact expected = crashContact(crash.run, crash.number);
            size_t column = 1;
            for (const QString& value : expected) {
                ASSERT_EQ(row[column], value) << "torn row " << row[1].toStdString() << ", column " << column;
                ++column;
            }
            // Numbers of one run are saved in order: the ones present are the
            // first so many.
            ASSERT_EQ(crash.number, present[static_cast<size_t>(crash.run)]) << row[1].toStdString();
            ++present[static_cast<size_t>(crash.run)];
        }
        // The save the kill interrupted is rolled back; everything reported
        // before it must be there.
        const int kept = present[static_cast<size_t>(run)];
        EXPECT_EQ(kept, reported);
        keptPerRun.push_back(kept);
        for (int earlier = 0; earlier < run; ++earlier)
            ASSERT_EQ(present[static_cast<size_t>(earlier)], keptPerRun[static_cast<size_t>(earlier)])
                << "run " << earlier << " lost contacts";
    }

    // A kill cannot show a missing fsync, so the durable settings are looked
    // at directly: a rollback journal (file format bytes 1, not WAL's 2) and
    // synchronous FULL on every connection.
    QFile file(env.dataFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(100);
    EXPECT_EQ(header.mid(18, 2), QByteArray("\x01\x01", 2));
    Connection probe;
    probe.open(connectionString);
    EXPECT_EQ(firstColumn(probe.handle(), "PRAGMA synchronous"), QStringList({"2"}));
    EXPECT_EQ(firstColumn(probe.handle(), "PRAGMA journal_mode"), QStringList({"delete"}));

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    int total = 0;
    for (const int kept : keptPerRun)
        total += kept;
    std::cout << "[ crash    ] " << kKills << " kills, " << killsLeavingAHotJournal << " left a hot journal, "
              << killsBeforeTheDataFileChanged << " came before the data file changed, " << killsBeforeTheFirstSave
              << " before the first save; " << total << " contacts kept; " << seconds << " s\n";
}
