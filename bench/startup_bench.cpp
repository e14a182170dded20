// From starting the program to its list painted with every contact, against
// the sqlite3 command line listing the same file in name order; the peak
// memory of both processes; and a search inside the program against the
// command line's search with the same statement. At 100,000 and 1,000,000
// contacts.
#include <benchmark/benchmark.h>

#include <chrono>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "store/contacttable.h"
#include "support/contactgen.h"
#include "ui/commands/contactcommands.h"
#include "ui/main/form1.h"

extern char** environ;

namespace {

struct Outcome {
    double seconds = 0;
    bool ok = false;
};

// Runs a program to its end with its output thrown away; the wall time from
// the spawn to the end.
Outcome runProcess(const std::vector<std::string>& words)
{
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Outcome outcome;
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid) {
            outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            outcome.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

// A home of its own holding the cached data file of count contacts, as the
// program looks for it; the environment points there.
QString homeWith(int count)
{
    static QTemporaryDir home;
    const QString data = home.path() + QStringLiteral("/data/Marrowind/Rondexa");
    QDir().mkpath(data);
    const QString file = data + QStringLiteral("/dbContacts.mdb");
    QFile::remove(file);
    QFile::link(cachedContactFile(count), file);
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return file;
}

double megabytes(qint64 bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void timeProcess(benchmark::State& state, const std::vector<std::string>& words)
{
    for (auto _ : state) {
        const Outcome outcome = runProcess(words);
        if (!outcome.ok) {
            state.SkipWithError("the process failed");
            return;
        }
        state.SetIterationTime(outcome.seconds);
    }
}

void BM_StartToFilledList(benchmark::State& state)
{
    const QString file = homeWith(static_cast<int>(state.range(0)));
    QTemporaryDir scratch;
    const QString peakFile = scratch.filePath(QStringLiteral("peak"));
    qputenv("RONDEXA_PEAK_FILE", QFile::encodeName(peakFile));
    timeProcess(state, {RONDEXA_BUILD_DIR "/startup_child"});
    qunsetenv("RONDEXA_PEAK_FILE");
    // The child's own peak, in kB, from its last run.
    QFile peak(peakFile);
    const double peakKilobytes = peak.open(QIODevice::ReadOnly) ? peak.readAll().split(' ').value(0).toDouble() : 0;
    // A child that never got to its list wrote no peak: no figure, not zero.
    if (peakKilobytes <= 0) {
        state.SkipWithError("the start-up child reported no peak memory");
        return;
    }
    const qint64 fileBytes = QFileInfo(QFileInfo(file).symLinkTarget()).size();
    state.counters["peak_MB"] = peakKilobytes / 1024.0;
    state.counters["file_MB"] = megabytes(fileBytes);
    // The memory goal: the file plus 80 MB with a million contacts, and
    // 60 MB in all with a hundred thousand.
    state.counters["budget_MB"] = state.range(0) >= 1000000 ? megabytes(fileBytes) + 80 : 60;
}

std::string sqliteCommandLine()
{
    return QStandardPaths::findExecutable(QStringLiteral("sqlite3")).toStdString();
}

void BM_CliOrderedListing(benchmark::State& state)
{
    const QString file = homeWith(static_cast<int>(state.range(0)));
    timeProcess(state, {sqliteCommandLine(), QFile::encodeName(file).toStdString(),
                        "select * from tblContact order by ContactName"});
}

void BM_CliSearchMartin(benchmark::State& state)
{
    const QString file = homeWith(static_cast<int>(state.range(0)));
    timeProcess(state, {sqliteCommandLine(), QFile::encodeName(file).toStdString(),
                        contact::searchQuery(QStringLiteral("martin")).toStdString()});
}

void BM_SearchMartin(benchmark::State& state)
{
    homeWith(static_cast<int>(state.range(0)));
    Form1 form(benchSession());
    form.Form_Load();
    for (auto _ : state)
        searchCommand(form, QStringLiteral("martin"));
    state.counters["rows"] = form.rowCount();
    form.Form_QueryUnload();
}

#define PROCESS_BENCH(name)                                                                                            \
    BENCHMARK(name)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)

PROCESS_BENCH(BM_StartToFilledList);
PROCESS_BENCH(BM_CliOrderedListing);
PROCESS_BENCH(BM_CliSearchMartin);
BENCHMARK(BM_SearchMartin)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
