// The report over 100,000 contacts: from binding the rows to the preview's
// first page on screen, against one plain list query of the same contacts;
// the memory the preview holds; and a PDF of 10,000 contacts page by page.
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPageSize>
#include <QTemporaryDir>

#include "output/reportpageview.h"
#include "output/reportpreview.h"
#include "output/reportrenderer.h"
#include "output/reportrows.h"
#include "output/rptmain.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "store/session.h"
#include "support/contactgen.h"

namespace {

const int kContacts = 100000;
const int kPdfContacts = 10000;
const double kMegabyte = 1024.0 * 1024.0;

void BM_PlainListQuery(benchmark::State& state)
{
    timePlainQuery(state, prepareDataHome(kContacts), QStringLiteral("select * from tblContact order by contactname"));
}
BENCHMARK(BM_PlainListQuery)->Unit(benchmark::kMillisecond)->MinTime(3);

// Shows the preview without waiting for the user and returns once its first
// page has been drawn. paintedAt, when given, gets the clock's reading at the
// moment the page was drawn: the preview goes on finding the other pages in
// slices right after, which the user does not wait for.
ReportPreview* showUntilFirstPage(rptMain& report, const QElapsedTimer* clock = nullptr, qint64* paintedAt = nullptr)
{
    report.show(0, nullptr);
    ReportPreview* preview = report.previewWindow();
    if (clock && paintedAt) {
        QObject::connect(preview->pageView(), &ReportPageView::pagePainted, preview, [clock, paintedAt] {
            if (*paintedAt < 0)
                *paintedAt = clock->nsecsElapsed();
        });
    }
    while (preview->pageView()->paintCount() == 0)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return preview;
}

void BM_PreviewFirstPage(benchmark::State& state)
{
    const QString file = prepareDataHome(kContacts);
    Connection connection;
    connection.open(connectionStringFor(file));
    int rows = 0;
    for (auto _ : state) {
        Recordset recordset;
        recordset.open(contact::reportQuery(), connection);
        rptMain report(benchSession().messages);
        QElapsedTimer clock;
        clock.start();
        report.setDataSource(recordset);
        qint64 paintedAt = -1;
        showUntilFirstPage(report, &clock, &paintedAt);
        state.SetIterationTime(static_cast<double>(paintedAt) / 1e9);
        rows = report.rows().rowCount();
        recordset.close();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_PreviewFirstPage)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3);

// What the open preview holds: the rows, the page being shown, and the page
// starts once every page has been found.
void BM_PreviewMemory(benchmark::State& state)
{
    const QString file = prepareDataHome(kContacts);
    Connection connection;
    connection.open(connectionStringFor(file));
    for (auto _ : state) {
        const long before = heapInUse();
        Recordset recordset;
        recordset.open(contact::reportQuery(), connection);
        rptMain report(benchSession().messages);
        report.setDataSource(recordset);
        ReportPreview* preview = showUntilFirstPage(report);
        const long shown = heapInUse();
        QElapsedTimer clock;
        clock.start();
        const int pages = preview->renderer().pageCount();
        state.counters["all_pages_s"] = static_cast<double>(clock.elapsed()) / 1000.0;
        preview->goToPage(pages - 1);
        while (preview->pageView()->page() != pages - 1 || preview->pageView()->paintCount() < 2)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        const long paginated = heapInUse();
        state.counters["pages"] = pages;
        state.counters["first_page_MB"] = static_cast<double>(shown - before) / kMegabyte;
        state.counters["all_pages_MB"] = static_cast<double>(paginated - before) / kMegabyte;
        state.counters["process_MB"] = static_cast<double>(residentBytes()) / kMegabyte;
        recordset.close();
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_PreviewMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PdfOfTenThousand(benchmark::State& state)
{
    static QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("ten-thousand.mdb"));
    if (!QFile::exists(file))
        writeContactFile(file, kPdfContacts, 2);
    Connection connection;
    connection.open(connectionStringFor(file));
    Recordset recordset;
    recordset.open(contact::reportQuery(), connection);
    rptMain report(benchSession().messages);
    report.setDataSource(recordset);
    recordset.close();
    const QString pdf = folder.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state)
        ReportRenderer::writePdf(rptMain::design(), report.rows(), pdf, QPageSize(QPageSize::A4));
    ReportRenderer renderer(rptMain::design(), report.rows(), ReportRenderer::paperTwips(QPageSize(QPageSize::A4)));
    state.counters["rows"] = report.rows().rowCount();
    state.counters["pages"] = renderer.pageCount();
    state.counters["pdf_MB"] = static_cast<double>(QFile(pdf).size()) / kMegabyte;
}
BENCHMARK(BM_PdfOfTenThousand)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char** argv)
{
    return runWidgetBenchmarks(argc, argv);
}
