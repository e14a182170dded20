#include "output/reportrenderer.h"

#include <algorithm>
#include <cmath>

#include <QElapsedTimer>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include "base/apperror.h"
#include "output/reportrows.h"

namespace {

const double kTwipsPerInch = 1440.0;
// Between the text of one box and the next box: a millimetre.
const int kGapTwips = 57;
const double kMillimetresPerInch = 25.4;

QFont reportFont(const ReportDesign& design)
{
    QFont font(design.fontFamily);
    // A pixel size in twips: measured without a device, text then comes out
    // in twips, and the painter's scale takes it to any resolution.
    font.setPixelSize(design.fontSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    // Hinting bends glyph widths towards whole pixels of one resolution;
    // without it the preview and the paper break lines alike.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

// A box that does not grow shows its text on one line: a stored line break
// prints as a blank rather than pushing text out of the box.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : text) {
        if (isLineBreak(c))
            c = QLatin1Char(' ');
    }
    return text;
}

// A control as it prints in any band; a text box shows nothing until a row
// fills it in, and outside the detail band there is no row.
ReportRenderer::Item itemOf(const ReportDesign::Control& control, const QString& band, const QRect& rect)
{
    ReportRenderer::Item item;
    item.name = control.name;
    item.band = band;
    item.rect = rect;
    switch (control.kind) {
    case ReportDesign::ControlKind::Label:
        item.kind = ReportRenderer::Item::Kind::Label;
        item.text = control.caption;
        item.lines = QStringList{oneLine(control.caption)};
        break;
    case ReportDesign::ControlKind::TextBox:
        item.kind = ReportRenderer::Item::Kind::Field;
        item.lines = QStringList{QString()};
        break;
    case ReportDesign::ControlKind::Line:
        item.kind = ReportRenderer::Item::Kind::Line;
        break;
    }
    return item;
}

// Where a letter-size paper is what the printers hold by default.
bool usesLetterPaper(QLocale::Territory territory)
{
    switch (territory) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
        return true;
    default:
        return false;
    }
}

// Millimetres keep A4 and Letter exact (210 mm, 8.5 in); points are rounded.
QSize millimetresToTwips(const QSizeF& mm)
{
    return QSize(static_cast<int>(std::lround(mm.width() * kTwipsPerInch / kMillimetresPerInch)),
                 static_cast<int>(std::lround(mm.height() * kTwipsPerInch / kMillimetresPerInch)));
}

} // namespace

ReportRenderer::ReportRenderer(const ReportDesign& design, const ReportRows& rows, QSize paperTwips)
    : mDesign(design), mRows(rows), mPaper(paperTwips), mFont(reportFont(design)), mMetrics(mFont),
      mPitch(std::max(1, static_cast<int>(std::lround(mMetrics.lineSpacing())))), mWrapper(mFont),
      mDetail(design.band(ReportDesign::BandKind::Detail))
{
    for (const ReportDesign::Control& control : mDetail.controls) {
        const int field = control.kind == ReportDesign::ControlKind::TextBox ? mRows.fieldIndex(control.dataField) : -1;
        mFieldOf.push_back(field);
        if (control.grows && !mGrowing && control.kind == ReportDesign::ControlKind::TextBox) {
            mGrowing = &control;
            mGrowingField = field;
        }
    }
    for (const ReportDesign::Control& control : mDetail.controls)
        mRooms.push_back(roomOf(control));
}

QRect ReportRenderer::roomOf(const ReportDesign::Control& control) const
{
    const QRect box(control.left, control.top, control.width, std::max(control.height, 1));
    if (control.grows || control.kind != ReportDesign::ControlKind::TextBox)
        return box;
    int right = box.left() + box.width();
    for (const ReportDesign::Control& other : mDetail.controls) {
        const QRect next(other.left, other.top, other.width, std::max(other.height, 1));
        if (&other != &control && next.left() > box.left() && next.top() < box.bottom() + 1 &&
            box.top() < next.bottom() + 1)
            right = std::min(right, next.left() - kGapTwips);
    }
    int bottom = mDetail.height;
    for (const ReportDesign::Control& other : mDetail.controls) {
        if (&other != &control && other.top > box.top() && other.left < right && box.left() < other.left + other.width)
            bottom = std::min(bottom, other.top);
    }
    return QRect(box.left(), box.top(), std::max(1, right - box.left()), std::max(box.height(), bottom - box.top()));
}

QStringList ReportRenderer::fittedLines(const QString& text, const QRect& room) const
{
    const QString line = oneLine(text);
    if (line.isEmpty() || mWrapper.fits(line, room.width()))
        return QStringList{line};
    QStringList lines = mWrapper.wrap(line, room.width());
    const qsizetype most = std::max(1, room.height() / mPitch);
    if (lines.size() <= most)
        return lines;
    // What does not fit ends the last line with an ellipsis.
    const QString rest = lines.mid(most - 1).join(QString());
    lines.resize(most - 1);
    lines << mMetrics.elidedText(rest, Qt::ElideRight, room.width());
    return lines;
}

QPageSize ReportRenderer::defaultPageSize(const ReportDesign& design)
{
    const auto holdsReport = [&design](const QPageSize& size) {
        const QSize paper = paperTwips(size);
        return paper.width() >= design.reportWidth + design.leftMargin + design.rightMargin &&
               paper.height() >= design.topMargin + design.bottomMargin +
                                     design.band(ReportDesign::BandKind::PageHeader).height +
                                     design.band(ReportDesign::BandKind::Detail).height;
    };
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (!printer.isNull()) {
        const QPageSize size = printer.defaultPageSize();
        if (size.isValid() && holdsReport(size))
            return size;
    }
    return QPageSize(usesLetterPaper(QLocale().territory()) ? QPageSize::Letter : QPageSize::A4);
}

QSize ReportRenderer::paperTwips(const QPageSize& pageSize)
{
    return millimetresToTwips(pageSize.size(QPageSize::Millimeter));
}

void ReportRenderer::printReport(const ReportDesign& design, const ReportRows& rows, QPagedPaintDevice& device,
                                 int from, int to)
{
    // The report keeps its own margins: a printer's would move it off its place
    // on the paper or cut its edges.
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setFullPage(true);
    // The user may have picked another paper or turned it in the print dialog.
    const QSize paper = millimetresToTwips(device.pageLayout().fullRect(QPageLayout::Millimeter).size());
    ReportRenderer renderer(design, rows, paper);
    renderer.print(device, from, to);
}

void ReportRenderer::writePdf(const ReportDesign& design, const ReportRows& rows, const QString& path,
                              const QPageSize& pageSize)
{
    QPdfWriter writer(path);
    writer.setPageSize(pageSize);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(1200);
    writer.setTitle(design.caption);
    writer.setCreator(QStringLiteral("Rondexa"));
    ReportRenderer renderer(design, rows, paperTwips(pageSize));
    renderer.print(writer);
}

bool ReportRenderer::hasPage(int index)
{
    while (!mPaginated && knownPageCount() <= index)
        findNextPage();
    return index >= 0 && index < knownPageCount();
}

bool ReportRenderer::paginateFor(std::chrono::milliseconds budget)
{
    QElapsedTimer clock;
    clock.start();
    while (!mPaginated && clock.elapsed() < budget.count())
        findNextPage();
    return mPaginated;
}

int ReportRenderer::pageCount()
{
    while (!mPaginated)
        findNextPage();
    return knownPageCount();
}

void ReportRenderer::findNextPage()
{
    const int index = knownPageCount();
    const Cursor start = index == 0 ? Cursor{} : mNext;
    const PageFit fit = fitPage(index, start, false);
    mPageStarts.push_back(start);
    mNext = fit.next;
    mPaginated = fit.last;
}

ReportRenderer::PageFit ReportRenderer::fitPage(int index, Cursor start, bool keepSlices) const
{
    using Kind = ReportDesign::BandKind;
    PageFit fit;
    int top = mDesign.topMargin;
    if (index == 0) {
        fit.reportHeaderTop = top;
        top += mDesign.band(Kind::ReportHeader).height;
    }
    fit.pageHeaderTop = top;
    top += mDesign.band(Kind::PageHeader).height;
    const int bottom = mPaper.height() - mDesign.bottomMargin - mDesign.band(Kind::PageFooter).height;
    fit.pageFooterTop = bottom;

    const auto place = [&](const Slice& slice) {
        if (keepSlices)
            fit.slices.push_back(slice);
    };
    const int growingTop = mGrowing ? mGrowing->top : 0;
    const int gapBelow = mGrowing ? std::max(0, mDetail.height - mGrowing->top - mGrowing->height) : 0;

    Cursor at = start;
    bool empty = true;
    while (at.row < mRows.rowCount()) {
        const int available = bottom - top;
        const int lines = growingLineCount(at.row);
        if (at.line == 0) {
            const int height = detailHeight(lines);
            if (height > available && !empty)
                break;
            // Only a contact taller than a whole page is ever split, between
            // lines of its growing box, so that nothing typed is lost.
            const int fitting = mGrowing ? std::max(1, (available - growingTop) / mPitch) : lines;
            if (height <= available || fitting >= lines) {
                place({at.row, top, 0, lines, true});
                top += height;
                at = {at.row + 1, 0};
            } else {
                place({at.row, top, 0, fitting, true});
                top += growingTop + fitting * mPitch;
                at.line = fitting;
                break;
            }
        } else {
            const int remaining = lines - at.line;
            const int fitting = std::max(1, available / mPitch);
            if (fitting >= remaining) {
                place({at.row, top, at.line, remaining, false});
                top += remaining * mPitch + gapBelow;
                at = {at.row + 1, 0};
            } else {
                place({at.row, top, at.line, fitting, false});
                top += fitting * mPitch;
                at.line += fitting;
                break;
            }
        }
        empty = false;
    }
    if (at.row >= mRows.rowCount()) {
        const int footer = mDesign.band(Kind::ReportFooter).height;
        if (empty || top + footer <= bottom) {
            fit.reportFooterTop = top;
            fit.last = true;
        }
    }
    fit.next = at;
    return fit;
}

QString ReportRenderer::growingText(int row) const
{
    return mGrowingField >= 0 ? mRows.text(row, mGrowingField) : QString();
}

QStringList ReportRenderer::growingLines(int row) const
{
    return mWrapper.wrap(growingText(row), mGrowing->width);
}

int ReportRenderer::growingLineCount(int row) const
{
    return mGrowing ? mWrapper.lineCount(growingText(row), mGrowing->width) : 1;
}

int ReportRenderer::detailHeight(int lines) const
{
    if (!mGrowing)
        return mDetail.height;
    return mDetail.height + std::max(0, lines * mPitch - mGrowing->height);
}

std::vector<ReportRenderer::Item> ReportRenderer::layoutPage(int index)
{
    using Kind = ReportDesign::BandKind;
    if (!hasPage(index))
        throw AppError(QStringLiteral("The report has no page %1.").arg(index + 1));
    const PageFit fit = fitPage(index, mPageStarts[static_cast<size_t>(index)], true);
    std::vector<Item> items;
    if (fit.reportHeaderTop >= 0)
        addBand(items, mDesign.band(Kind::ReportHeader), fit.reportHeaderTop);
    addBand(items, mDesign.band(Kind::PageHeader), fit.pageHeaderTop);
    for (const Slice& slice : fit.slices)
        addSlice(items, slice);
    if (fit.reportFooterTop >= 0)
        addBand(items, mDesign.band(Kind::ReportFooter), fit.reportFooterTop);
    addBand(items, mDesign.band(Kind::PageFooter), fit.pageFooterTop);
    return items;
}

void ReportRenderer::addBand(std::vector<Item>& items, const ReportDesign::Band& band, int top) const
{
    for (const ReportDesign::Control& control : band.controls)
        items.push_back(itemOf(control, band.name,
                               QRect(mDesign.leftMargin + control.left, top + control.top, control.width,
                                     control.height)));
}

void ReportRenderer::addSlice(std::vector<Item>& items, const Slice& slice) const
{
    const int left = mDesign.leftMargin;
    QStringList wrapped;
    int growth = 0;
    if (mGrowing) {
        wrapped = growingLines(slice.row);
        growth = detailHeight(static_cast<int>(wrapped.size())) - mDetail.height;
    }
    const bool split = slice.firstLine > 0 || slice.lineCount < wrapped.size();

    for (size_t i = 0; i < mDetail.controls.size(); ++i) {
        const ReportDesign::Control& control = mDetail.controls[i];
        const bool growing = &control == mGrowing;
        if (!slice.whole && !growing)
            continue;
        int top = slice.top + control.top;
        if (mGrowing && !growing && control.top >= mGrowing->top + mGrowing->height)
            top += growth;
        Item item = itemOf(control, mDetail.name, QRect(left + control.left, top, control.width, control.height));
        item.room = mRooms[i].translated(left, top - control.top);
        if (control.kind == ReportDesign::ControlKind::TextBox) {
            item.row = slice.row;
            item.text = mFieldOf[i] >= 0 ? mRows.text(slice.row, mFieldOf[i]) : QString();
            if (growing) {
                item.lines = wrapped.mid(slice.firstLine, slice.lineCount);
                const int height = slice.lineCount * mPitch;
                if (!slice.whole)
                    item.rect.moveTop(slice.top);
                item.rect.setHeight(split ? height : std::max(control.height, height));
                item.room = item.rect;
            } else {
                item.lines = fittedLines(item.text, item.room);
            }
        }
        items.push_back(std::move(item));
    }
}

void ReportRenderer::drawItems(QPainter& painter, const std::vector<Item>& items) const
{
    painter.save();
    painter.setFont(mFont);
    const QPen textPen(Qt::black);
    const QPen rulePen(Qt::black, mDesign.lineWidth, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(textPen);
    const double ascent = mMetrics.ascent();
    for (const Item& item : items) {
        if (item.kind == Item::Kind::Line) {
            painter.setPen(rulePen);
            painter.drawLine(
                QLineF(item.rect.left(), item.rect.top(), item.rect.left() + item.rect.width(), item.rect.top()));
            painter.setPen(textPen);
            continue;
        }
        const bool wrapped = mGrowing && item.name == mGrowing->name && item.kind == Item::Kind::Field;
        for (qsizetype n = 0; n < item.lines.size(); ++n) {
            const QString& line = item.lines[n];
            if (line.isEmpty())
                continue;
            const QPointF baseline(item.rect.left(), item.rect.top() + static_cast<double>(n) * mPitch + ascent);
            // Lines are fitted to their room; should a measure and the
            // drawing still differ by a hair, the room cuts it. Clipping
            // only then keeps the PDF small.
            const QRect room = item.room.isValid() ? item.room : item.rect;
            if (!wrapped && !mWrapper.fits(line, room.width())) {
                painter.save();
                painter.setClipRect(room, Qt::IntersectClip);
                painter.drawText(baseline, line);
                painter.restore();
            } else {
                painter.drawText(baseline, line);
            }
        }
    }
    painter.restore();
}

void ReportRenderer::drawPage(QPainter& painter, int index)
{
    drawItems(painter, layoutPage(index));
}

void ReportRenderer::mapTwips(QPainter& painter, const QPaintDevice& device)
{
    painter.scale(device.logicalDpiX() / kTwipsPerInch, device.logicalDpiY() / kTwipsPerInch);
    // A printer that keeps its own margins puts the origin at their corner,
    // not at the paper's.
    if (const auto* paged = dynamic_cast<const QPagedPaintDevice*>(&device)) {
        const QRectF paint = paged->pageLayout().paintRect(QPageLayout::Millimeter);
        painter.translate(-paint.left() * kTwipsPerInch / kMillimetresPerInch,
                          -paint.top() * kTwipsPerInch / kMillimetresPerInch);
    }
}

void ReportRenderer::print(QPagedPaintDevice& device, int from, int to)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw AppError(QStringLiteral("The report could not be started on the printer or file."));
    mapTwips(painter, device);
    for (int index = std::max(0, from); (to < 0 || index <= to) && hasPage(index); ++index) {
        if (index > std::max(0, from) && !device.newPage())
            throw AppError(QStringLiteral("The printer did not take page %1.").arg(index + 1));
        drawPage(painter, index);
    }
    if (!painter.end())
        throw AppError(QStringLiteral("The report could not be finished on the printer or file."));
}
