// Searches and a save over 100,000 contacts, list fill included, against the
// same queries through the plain SQLite C API with its built-in LIKE.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>

#include "app/messagebox.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "support/contactgen.h"
#include "ui/editor/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui/main/form1.h"

namespace {

const int kContacts = 100000;

class SilentMessages : public MessageSink {
public:
    MsgAnswer show(const MessageRequest& request) override
    {
        // Only failures are worth a line: a save's own message is expected.
        if (request.title == QLatin1String("Application Error"))
            fprintf(stderr, "%s\n", qPrintable(request.text));
        return MsgAnswer::Ok;
    }
};

void plainQuery(benchmark::State& state, const QString& sql)
{
    const QString file = prepareDataHome(kContacts);
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray text = sql.toUtf8();
    int rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, text.constData(), -1, &statement, nullptr);
        rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < 14; ++i)
                benchmark::DoNotOptimize(sqlite3_column_text(statement, i));
            ++rows;
        }
        sqlite3_finalize(statement);
    }
    state.counters["rows"] = rows;
    sqlite3_close(db);
}

Form1& loadedForm()
{
    static SilentMessages messages;
    setMessageSink(&messages);
    prepareDataHome(kContacts);
    static Form1* form = [] {
        auto* f = new Form1;
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

void BM_PlainSearch12(benchmark::State& state) { plainQuery(state, contact::searchQuery("12")); }
void BM_Search12(benchmark::State& state) { search(state, "12"); }
void BM_PlainSearchMartin(benchmark::State& state) { plainQuery(state, contact::searchQuery("martin")); }
void BM_SearchMartin(benchmark::State& state) { search(state, "martin"); }
// The built-in LIKE folds ASCII only, so it is given the letters as stored.
void BM_PlainSearchCyrillic(benchmark::State& state) { plainQuery(state, contact::searchQuery(QString::fromUtf8("Бор"))); }
void BM_SearchCyrillic(benchmark::State& state) { search(state, QString::fromUtf8("бор")); }
void BM_PlainListFill(benchmark::State& state) { plainQuery(state, contact::listQuery()); }

void BM_SaveOneContact(benchmark::State& state)
{
    Form1& form = loadedForm();
    int n = 0;
    for (auto _ : state) {
        addContactCommand(form, [&](Form2& editor) {
            editor.txtContactName->setText(QStringLiteral("Benchmark Person %1").arg(++n));
            editor.txtMobile1->setText(QStringLiteral("0123456789"));
            editor.PushButton1_Click();
        });
    }
    state.counters["rows"] = form.rowCount();
}

BENCHMARK(BM_PlainSearch12)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Search12)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PlainSearchMartin)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SearchMartin)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PlainSearchCyrillic)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SearchCyrillic)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PlainListFill)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SaveOneContact)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
