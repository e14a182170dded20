// The list fill over 100,000 contacts against the same query run through the
// plain SQLite C API, and the memory the filled list takes.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <QApplication>
#include <QFile>

#include "base/messages.h"
#include "store/connection.h"
#include "support/contactgen.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

namespace {

const int kContacts = 100000;

void BM_PlainListQuery(benchmark::State& state)
{
    timePlainQuery(state, prepareDataHome(kContacts), QStringLiteral("select * from tblContact order by contactname"));
}
BENCHMARK(BM_PlainListQuery)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_QueryWithTextRules(benchmark::State& state)
{
    const QString file = prepareDataHome(kContacts);
    Connection connection;
    connection.open(connectionStringFor(file));
    sqlite3* db = connection.handle();
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "select * from tblContact order by contactname", -1, &statement, nullptr);
        size_t bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < 14; ++i) {
                benchmark::DoNotOptimize(sqlite3_column_text(statement, i));
                bytes += static_cast<size_t>(sqlite3_column_bytes(statement, i));
            }
        }
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_QueryWithTextRules)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_ListFill(benchmark::State& state)
{
    prepareDataHome(kContacts);
    // The window with its list filled once, over the process without it.
    const long before = heapInUse();
    Form1 form(benchSession());
    form.Form_Load();
    const long filled = heapInUse();
    for (auto _ : state)
        form.loadRondexa();
    state.counters["rows"] = form.listModel().rowCount();
    state.counters["window_MB"] = static_cast<double>(filled - before) / (1024.0 * 1024.0);
    state.counters["process_MB"] = static_cast<double>(residentBytes()) / (1024.0 * 1024.0);
    form.Form_QueryUnload();
}
BENCHMARK(BM_ListFill)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
