// The spreadsheet export of 100,000 contacts, all thirteen columns, against
// writing the same cells with plain libxlsxwriter calls, and the longest time
// the export keeps events waiting.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <xlsxwriter.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "base/errortrap.h"
#include "base/messages.h"
#include "output/excelexport.h"
#include "output/excelexportrows.h"
#include "output/spreadsheetfolder.h"
#include "support/contactgen.h"
#include "ui/main/contactrows.h"

namespace {

const int kContacts = 100000;

const char* const kHeadings[] = {"ID",           "Name",         "Date Of Birth", "Mobile No. 1", "Mobile No. 2",
                                 "Office No. 1", "Office No. 2", "Fax No. 1",     "Fax No. 2",    "Home No. 1",
                                 "Home No. 2",   "Email",        "Website",       "Remarks"};

// Any message during the benchmark is a fault; counted, never shown.
class CountingSink : public MessageSink {
public:
    MsgAnswer show(const MessageRequest&) override
    {
        ++mShown;
        return MsgAnswer::Ok;
    }
    int mShown = 0;
};

// A private cache folder and a spreadsheet stand-in that ends at once.
struct Environment {
    Environment()
    {
        QDir().mkpath(root.path() + QStringLiteral("/bin"));
        QFile stub(root.path() + QStringLiteral("/bin/soffice"));
        stub.open(QIODevice::WriteOnly);
        stub.write("#!/bin/sh\nexit 0\n");
        stub.close();
        stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(root.path() + QStringLiteral("/bin")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(root.path() + QStringLiteral("/cache")));
    }
    void removeWorkbooks() const
    {
        QDir folder(SpreadsheetFolder::location());
        for (const QString& file : folder.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
            folder.remove(file);
    }

    QTemporaryDir root;
    CountingSink sink;
    Messages messages{sink};
};

Environment& environment()
{
    static Environment instance;
    return instance;
}

const std::vector<Contact>& contacts()
{
    static const std::vector<Contact> all = generateContacts(kContacts);
    return all;
}

// The cells as the plain writer gets them: ready UTF-8, "=" already gone,
// empty cells left out, and each column's longest text.
struct PlainCells {
    std::vector<std::vector<std::string>> rows;
    std::vector<size_t> longest;
};

const PlainCells& plainCells()
{
    static const PlainCells cells = [] {
        PlainCells made;
        made.longest.assign(contact::kFieldCount, 0);
        for (int column = 0; column < contact::kFieldCount; ++column)
            made.longest[static_cast<size_t>(column)] = std::strlen(kHeadings[column + 1]);
        for (const Contact& values : contacts()) {
            std::vector<std::string> row;
            size_t column = 0;
            for (QString text : values) {
                text.remove(QLatin1Char('='));
                row.push_back(text.toStdString());
                made.longest[column] = std::max(made.longest[column], static_cast<size_t>(text.size()));
                ++column;
            }
            made.rows.push_back(std::move(row));
        }
        return made;
    }();
    return cells;
}

void BM_PlainLibxlsxwriter(benchmark::State& state)
{
    const Environment& env = environment();
    const PlainCells& cells = plainCells();
    const QByteArray folder = QFile::encodeName(env.root.path());
    const QByteArray file = folder + "/plain.xlsx";
    for (auto _ : state) {
        lxw_workbook_options options{};
        options.tmpdir = const_cast<char*>(folder.constData());
        options.constant_memory = LXW_TRUE;
        lxw_workbook* workbook = workbook_new_opt(file.constData(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
        for (lxw_col_t column = 0; column < contact::kFieldCount; ++column)
            worksheet_write_string(sheet, 0, column, kHeadings[column + 1], nullptr);
        lxw_row_t row = 1;
        for (const std::vector<std::string>& texts : cells.rows) {
            for (lxw_col_t column = 0; column < contact::kFieldCount; ++column) {
                if (!texts[column].empty())
                    worksheet_write_string(sheet, row, column, texts[column].c_str(), nullptr);
            }
            ++row;
        }
        for (lxw_col_t column = 0; column < contact::kFieldCount; ++column)
            worksheet_set_column(sheet, column, column, static_cast<double>(cells.longest[column] + 1), nullptr);
        if (workbook_close(workbook) != LXW_NO_ERROR)
            state.SkipWithError("the plain workbook could not be written");
    }
    QFile::remove(QFile::decodeName(file));
}
BENCHMARK(BM_PlainLibxlsxwriter)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_Export(benchmark::State& state)
{
    Environment& env = environment();
    ContactRows model;
    for (const char* heading : kHeadings)
        model.addColumn(QLatin1String(heading));
    std::vector<ListRow> rows;
    rows.reserve(contacts().size());
    int id = 1;
    for (const Contact& values : contacts()) {
        std::array<QString, ListRow::kFields> texts;
        texts[0] = QString::number(id++);
        std::copy(values.begin(), values.end(), texts.begin() + 1);
        rows.emplace_back(texts);
    }
    model.setRows(std::move(rows));
    QObject window;
    ExcelExportRows list(model.headings(), model.rows(), &window, [](int) {});

    using Clock = std::chrono::steady_clock;
    double longestGapMs = 0;
    Clock::time_point last;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longestGapMs = std::max(longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    ticker.start();
    for (auto _ : state) {
        last = Clock::now();
        ErrorTrap trap(env.messages, locationTag("Form1", "PushButton7_Click"));
        runExcelExport(list, trap);
        longestGapMs = std::max(longestGapMs, std::chrono::duration<double, std::milli>(Clock::now() - last).count());
        state.PauseTiming();
        env.removeWorkbooks();
        state.ResumeTiming();
    }
    ticker.stop();
    state.counters["longest_event_gap_ms"] = longestGapMs;
    state.counters["messages"] = env.sink.mShown;
    state.counters["process_MB"] = static_cast<double>(residentBytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Export)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
