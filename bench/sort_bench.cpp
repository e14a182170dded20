// A click on a column heading over 100,000 contacts against the plain SQLite C
// API's ORDER BY of the same column over the same rows (its built-in NOCASE,
// every row read), in the same run.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <sqlite3.h>

#include <QApplication>
#include <QFile>

#include "model/listrow.h"
#include "support/contactgen.h"
#include "ui/main/contactrows.h"
#include "ui/main/contactsortproxy.h"

namespace {

const int kContacts = 100000;

sqlite3* openPlain(const QString& file)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// The rows of the list query, which the model puts in the program's own name
// order as a fill does.
std::vector<ListRow> listRows(const QString& file)
{
    std::vector<ListRow> rows;
    sqlite3* db = openPlain(file);
    if (!db)
        return rows;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "select * from tblContact order by contactname", -1, &statement, nullptr);
    ListRow::Builder row;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < static_cast<int>(ListRow::size()); ++i)
            row.add(QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)),
                                   sqlite3_column_bytes(statement, i)));
        rows.push_back(row.take());
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

void BM_PlainOrderBy(benchmark::State& state, const char* column)
{
    timePlainQuery(state, prepareDataHome(kContacts),
                   QStringLiteral("select * from tblContact order by ") + QLatin1String(column));
}

// Each iteration is one click on the same heading: the order flips every
// time and every click sorts all rows afresh, collation keys included.
void BM_HeadingClick(benchmark::State& state, int index)
{
    ContactRows rows;
    ContactSortProxy model(rows);
    for (int c = 0; c < 14; ++c)
        rows.addColumn(QString::number(c));
    rows.setRowsInNameOrder(listRows(prepareDataHome(kContacts)));
    if (model.rowCount() != kContacts) {
        state.SkipWithError("the list did not fill");
        return;
    }
    for (auto _ : state)
        model.columnClick(index);
    state.counters["rows"] = model.rowCount();
}

// A click on another heading after the list was sorted by one: the shown
// order the sort starts from is no longer the name order.
void BM_HeadingClickAfterAnother(benchmark::State& state, int index)
{
    ContactRows rows;
    ContactSortProxy model(rows);
    for (int c = 0; c < 14; ++c)
        rows.addColumn(QString::number(c));
    rows.setRowsInNameOrder(listRows(prepareDataHome(kContacts)));
    const int other = index == 12 ? 14 : 12;
    for (auto _ : state) {
        state.PauseTiming();
        model.columnClick(other);
        state.ResumeTiming();
        model.columnClick(index);
    }
}

#define SORT_BENCH(name, ...)                                                                                          \
    BENCHMARK_CAPTURE(name, __VA_ARGS__)                                                                               \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->MinTime(1)                                                                                                   \
        ->UseRealTime()                                                                                                \
        ->Repetitions(5)                                                                                               \
        ->DisplayAggregatesOnly(true)

SORT_BENCH(BM_PlainOrderBy, Name, "ContactName");
SORT_BENCH(BM_HeadingClick, Name, 2);
SORT_BENCH(BM_HeadingClickAfterAnother, Name, 2);
SORT_BENCH(BM_PlainOrderBy, Email, "Email");
SORT_BENCH(BM_HeadingClick, Email, 12);
SORT_BENCH(BM_HeadingClickAfterAnother, Email, 12);
SORT_BENCH(BM_PlainOrderBy, DateOfBirth, "DateOfBirth");
SORT_BENCH(BM_HeadingClick, DateOfBirth, 3);
SORT_BENCH(BM_PlainOrderBy, Remark, "Remark");
SORT_BENCH(BM_HeadingClick, Remark, 14);

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
