#include "output/reportpreview.h"

#include <algorithm>
#include <climits>

#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/messages.h"
#include "output/reportdesign.h"
#include "output/reportpageview.h"
#include "output/reportrenderer.h"

namespace {

// The preview's client area as the report was designed.
const int kClientWidthTwips = 20370;
const int kClientHeightTwips = 11115;
// Each background slice of page finding, short enough not to be felt.
const std::chrono::milliseconds kPaginationSlice(20);
// Zoom choices: a factor, or one of these for fitting the page.
const double kFitWidth = -1;
const double kWholePage = -2;

} // namespace

ReportPreview::ReportPreview(const ReportDesign& design, const ReportRows& rows, Messages& messages, QWidget* owner)
    : QDialog(owner), mDesign(design), mRows(rows), mMessages(messages),
      mPageSize(ReportRenderer::defaultPageSize(design)),
      mRenderer(std::make_unique<ReportRenderer>(design, rows, ReportRenderer::paperTwips(mPageSize)))
{
    setObjectName(QStringLiteral("DataReport1"));
    setWindowTitle(design.caption);
    buildControls();
    mPaginate.setInterval(0);
    connect(&mPaginate, &QTimer::timeout, this, &ReportPreview::paginateMore);
    // Finding the remaining pages starts once the first one is on screen, so
    // it never delays it.
    connect(mView, &ReportPageView::pagePainted, this, [this] {
        if (!mRenderer->isPaginated() && !mPaginate.isActive())
            mPaginate.start();
        showPosition();
    });
    showPosition();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::buildControls()
{
    const auto button = [this](const char* name, const QString& caption) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        made->setAutoDefault(false);
        return made;
    };
    mPrint = button("PrintButton", tr("&Print..."));
    QPushButton* pdf = button("PdfButton", tr("Save as P&DF..."));
    QPushButton* first = button("FirstPageButton", tr("|<"));
    QPushButton* previous = button("PreviousPageButton", tr("<"));
    QPushButton* next = button("NextPageButton", tr(">"));
    QPushButton* last = button("LastPageButton", tr(">|"));
    QPushButton* close = button("CloseButton", tr("&Close"));
    first->setAccessibleName(tr("First page"));
    previous->setAccessibleName(tr("Previous page"));
    next->setAccessibleName(tr("Next page"));
    last->setAccessibleName(tr("Last page"));

    mPageBox = new QSpinBox(this);
    mPageBox->setObjectName(QStringLiteral("PageNumber"));
    mPageBox->setAccessibleName(tr("Page"));
    mPageBox->setMinimum(1);
    mPageCount = new QLabel(this);
    mZoom = new QComboBox(this);
    mZoom->setObjectName(QStringLiteral("Zoom"));
    mZoom->setAccessibleName(tr("Zoom"));
    mZoom->addItem(tr("Fit Width"), kFitWidth);
    mZoom->addItem(tr("Whole Page"), kWholePage);
    for (const int percent : {50, 75, 100, 150, 200})
        mZoom->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    mZoom->setCurrentIndex(mZoom->findData(1.0));

    mView = new ReportPageView(*mRenderer);
    mScroll = new QScrollArea(this);
    mScroll->setBackgroundRole(QPalette::Dark);
    mScroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    mScroll->setWidget(mView);

    auto* bar = new QHBoxLayout;
    for (QWidget* control :
         std::initializer_list<QWidget*>{mPrint, pdf, first, previous, mPageBox, mPageCount, next, last, mZoom})
        bar->addWidget(control);
    bar->addStretch();
    bar->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(mScroll);

    connect(mPrint, &QPushButton::clicked, this, &ReportPreview::printReport);
    connect(pdf, &QPushButton::clicked, this, &ReportPreview::choosePdfFile);
    connect(first, &QPushButton::clicked, this, [this] { goToPage(0); });
    connect(previous, &QPushButton::clicked, this, [this] { goToPage(mView->page() - 1); });
    connect(next, &QPushButton::clicked, this, [this] { goToPage(mView->page() + 1); });
    connect(last, &QPushButton::clicked, this, [this] { goToPage(INT_MAX); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(mPageBox, &QSpinBox::valueChanged, this, [this](int value) { goToPage(value - 1); });
    connect(mZoom, &QComboBox::currentIndexChanged, this, &ReportPreview::setZoomChoice);
    const auto shortcut = [this](QKeySequence keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_PageDown), [this] { goToPage(mView->page() + 1); });
    shortcut(QKeySequence(Qt::Key_PageUp), [this] { goToPage(mView->page() - 1); });
    shortcut(QKeySequence::Print, [this] { printReport(); });

    QSize size(static_cast<int>(kClientWidthTwips / kReportTwipsPerPixel),
               static_cast<int>(kClientHeightTwips / kReportTwipsPerPixel));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize());
    resize(size);
}

void ReportPreview::goToPage(int page)
{
    if (page >= mRenderer->knownPageCount() && !mRenderer->isPaginated()) {
        // Only the last page needs every page found first; that can take a moment.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        if (page == INT_MAX)
            mRenderer->pageCount();
        else
            mRenderer->hasPage(page);
        QGuiApplication::restoreOverrideCursor();
    }
    page = std::clamp(page, 0, mRenderer->knownPageCount() - 1);
    mView->setPage(page);
    mScroll->verticalScrollBar()->setValue(0);
    showPosition();
}

void ReportPreview::showPosition()
{
    const int known = mRenderer->knownPageCount();
    const QSignalBlocker quiet(mPageBox);
    mPageBox->setMaximum(std::max(1, known));
    mPageBox->setValue(mView->page() + 1);
    // While pages are still being found the count is a lower bound.
    mPageCount->setText(mRenderer->isPaginated() ? tr("of %1").arg(known) : tr("of %1 or more").arg(known));
}

void ReportPreview::paginateMore()
{
    if (mRenderer->paginateFor(kPaginationSlice))
        mPaginate.stop();
    showPosition();
}

void ReportPreview::setZoomChoice(int choice)
{
    double zoom = mZoom->itemData(choice).toDouble();
    const QSize viewport = mScroll->viewport()->size();
    const QSize paper = mRenderer->paperSize();
    const double widthZoom = viewport.width() * kReportTwipsPerPixel / paper.width();
    if (zoom == kFitWidth)
        zoom = widthZoom;
    else if (zoom == kWholePage)
        zoom = std::min(widthZoom, viewport.height() * kReportTwipsPerPixel / paper.height());
    mView->setZoom(std::max(0.1, zoom));
}

void ReportPreview::printReport()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(mPageSize);
    printer.setDocName(mDesign.caption);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setMinMax(1, mRenderer->isPaginated() ? mRenderer->knownPageCount() : INT_MAX);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const bool range = printer.printRange() == QPrinter::PageRange;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        ReportRenderer::printReport(mDesign, mRows, printer, range ? printer.fromPage() - 1 : 0,
                                    range ? printer.toPage() - 1 : -1);
        QGuiApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QGuiApplication::restoreOverrideCursor();
        mMessages.msgBox(QString::fromUtf8(e.what()), MsgButtons::Ok, MsgIcon::Exclamation, mDesign.caption);
    }
}

void ReportPreview::choosePdfFile()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save as PDF"), mDesign.caption + QStringLiteral(".pdf"),
                                                      tr("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        saveAsPdf(path);
        QGuiApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QGuiApplication::restoreOverrideCursor();
        mMessages.msgBox(QString::fromUtf8(e.what()), MsgButtons::Ok, MsgIcon::Exclamation, mDesign.caption);
    }
}

void ReportPreview::saveAsPdf(const QString& path) const
{
    ReportRenderer::writePdf(mDesign, mRows, path, mPageSize);
}
