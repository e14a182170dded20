// Searches and a save over 100,000 contacts, list fill included, against the
// same queries through the plain SQLite C API with its built-in LIKE. Timed by
// the clock on the wall: the search reads the table on several threads.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QTableView>

#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/likepattern.h"
#include "support/contactgen.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

namespace {

const int kContacts = 100000;

void plainQuery(benchmark::State& state, const QString& sql)
{
    timePlainQuery(state, prepareDataHome(kContacts), sql);
}

Form1& loadedForm()
{
    prepareDataHome(kContacts);
    static Form1* form = [] {
        auto* f = new Form1(benchSession());
        f->Form_Load();
        return f;
    }();
    return *form;
}

void search(benchmark::State& state, const QString& text)
{
    Form1& form = loadedForm();
    for (auto _ : state)
        searchCommand(form, text);
    state.counters["rows"] = form.rowCount();
}

void BM_PlainSearch12(benchmark::State& state)
{
    plainQuery(state, contact::searchQuery("12"));
}
void BM_Search12(benchmark::State& state)
{
    search(state, "12");
}
void BM_PlainSearchMartin(benchmark::State& state)
{
    plainQuery(state, contact::searchQuery("martin"));
}
void BM_SearchMartin(benchmark::State& state)
{
    search(state, "martin");
}
// The built-in LIKE folds ASCII only, so it is given the letters as stored.
void BM_PlainSearchCyrillic(benchmark::State& state)
{
    plainQuery(state, contact::searchQuery(QString::fromUtf8("Бор")));
}
void BM_SearchCyrillic(benchmark::State& state)
{
    search(state, QString::fromUtf8("бор"));
}

// Every timed iteration must be a real save: the benchmark's function runs
// several times while it settles on an iteration count, so the names go on
// counting across runs instead of repeating (a repeated name would time the
// "already exists" refusal).
void BM_SaveOneContact(benchmark::State& state)
{
    Form1& form = loadedForm();
    static int saved = 0;
    // A search before may have left only a few rows on show.
    form.loadRondexa();
    const int rowsBefore = form.rowCount();
    for (auto _ : state) {
        addContactCommand(form, [&](Form2& editor) {
            editor.setField(contact::Field::Name, QStringLiteral("Benchmark Person %1").arg(++saved));
            editor.setField(contact::Field::Mobile1, QStringLiteral("0123456789"));
            editor.PushButton1_Click();
        });
    }
    const int added = form.rowCount() - rowsBefore;
    if (added != static_cast<int>(state.iterations()))
        state.SkipWithError("a save did not add its contact");
    state.counters["saves"] = added;
    state.counters["rows"] = form.rowCount();
}

void selectRow(Form1& form, int row)
{
    auto* list = form.findChild<QTableView*>(QStringLiteral("ListView1"));
    list->selectionModel()->select(form.listModel().index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Each update renames a contact, so its row moves to another place in the list.
void BM_UpdateOneContact(benchmark::State& state)
{
    Form1& form = loadedForm();
    static int renamed = 0;
    form.loadRondexa();
    const int rows = form.rowCount();
    QString lastName;
    for (auto _ : state) {
        selectRow(form, (renamed * 7919) % rows);
        lastName = QStringLiteral("Renamed Person %1").arg(++renamed);
        updateContactCommand(form, [&](Form2& editor) {
            editor.setField(contact::Field::Name, lastName);
            editor.PushButton1_Click();
        });
    }
    bool shown = false;
    for (int r = 0; r < form.rowCount() && !shown; ++r)
        shown = form.text(r, contact::Field::Name) == lastName;
    if (!shown || form.rowCount() != rows)
        state.SkipWithError("an update did not show in the list");
}

void BM_DeleteOneContact(benchmark::State& state)
{
    Form1& form = loadedForm();
    form.loadRondexa();
    const int rowsBefore = form.rowCount();
    for (auto _ : state) {
        selectRow(form, form.rowCount() / 2);
        deleteContactCommand(form);
    }
    if (rowsBefore - form.rowCount() != static_cast<int>(state.iterations()))
        state.SkipWithError("a delete did not take its row out of the list");
}

// A remark of a megabyte of "a" and a search of a thousand "a" then "b": a
// backtracking LIKE tries the pattern at every position. The program's LIKE
// against SQLite's own on the same two texts.
const QByteArray& longRemark()
{
    static const QByteArray text(1 << 20, 'a');
    return text;
}
const QByteArray& longPattern()
{
    static const QByteArray pattern = '%' + QByteArray(1000, 'a') + "b%";
    return pattern;
}

void BM_SearchPathological(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(
            LikePattern(longPattern().constData(), static_cast<int>(longPattern().size()), 0, CaseFolding::standard())
                .matches(longRemark().constData(), static_cast<int>(longRemark().size())));
}

void BM_PlainSearchPathological(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "select ?2 like ?1", -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, longPattern().constData(), static_cast<int>(longPattern().size()), SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, longRemark().constData(), static_cast<int>(longRemark().size()), SQLITE_STATIC);
    for (auto _ : state) {
        sqlite3_step(statement);
        benchmark::DoNotOptimize(sqlite3_column_int(statement, 0));
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

BENCHMARK(BM_SearchPathological)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSearchPathological)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PlainSearch12)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_Search12)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_PlainSearchMartin)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_SearchMartin)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_PlainSearchCyrillic)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_SearchCyrillic)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_SaveOneContact)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_UpdateOneContact)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_DeleteOneContact)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
