#pragma once

#include <chrono>
#include <vector>

#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include "output/reportdesign.h"
#include "output/reporttextwrapper.h"

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class ReportRows;

// Lays a report design out on pages and draws the pages with QPainter on any
// device. Everything is laid out in twips, whatever the device: text is
// measured with a font whose pixel size is given in twips, so the preview, the
// PDF and the printer break lines and pages in the same places.
//
// Pages are found one after the other, only as far as someone asks: the first
// page of a hundred thousand contacts is ready without measuring the rest.
class ReportRenderer {
public:
    // One printed label, field or line, where it lands on its page. The rect is
    // in twips from the paper's top-left corner.
    struct Item {
        enum class Kind { Label, Field, Line };
        Kind kind = Kind::Label;
        // The design's control name ("Label2", "Text13", "Line1").
        QString name;
        // The caption or the stored value, exactly as it is.
        QString text;
        // The text as it prints, one entry a line: one line for a box that does
        // not grow, the wrapped lines (or the part on this page) for one that does.
        QStringList lines;
        QRect rect;
        // Where the text may print: a box that does not grow takes the free
        // paper to its right and below it, up to the next box and no
        // further, and its text wraps there and ends in an ellipsis when it
        // still does not fit. No two items' rooms overlap.
        QRect room;
        // The data row a field shows; -1 for labels and lines.
        int row = -1;
        // The band the item belongs to ("Section2").
        QString band;
    };

    ReportRenderer(const ReportDesign& design, const ReportRows& rows, QSize paperTwips);

    // The paper of the default printer; when there is none, or its paper cannot
    // hold the report, Letter where that is the usual paper and A4 elsewhere.
    static QPageSize defaultPageSize(const ReportDesign& design);
    static QSize paperTwips(const QPageSize& pageSize);

    // Prints pages from..to (0-based, to < 0 for the last) on a printer or PDF
    // writer, laid out for the paper the device is set to.
    static void printReport(const ReportDesign& design, const ReportRows& rows, QPagedPaintDevice& device, int from = 0,
                            int to = -1);
    // Writes the whole report as a PDF file, page by page.
    static void writePdf(const ReportDesign& design, const ReportRows& rows, const QString& path,
                         const QPageSize& pageSize);

    QSize paperSize() const { return mPaper; }
    const QFont& font() const { return mFont; }
    // The distance between two wrapped lines.
    int linePitch() const { return mPitch; }

    // True when page index exists, finding pages up to it when needed.
    bool hasPage(int index);
    // Pages found so far, and whether they are all of them.
    int knownPageCount() const { return static_cast<int>(mPageStarts.size()); }
    bool isPaginated() const { return mPaginated; }
    // Finds further pages for about that long; true once all are known.
    bool paginateFor(std::chrono::milliseconds budget);
    // Finds every page first.
    int pageCount();

    // The items of an existing page, in print order.
    std::vector<Item> layoutPage(int index);
    // Draws items on a painter whose coordinates are twips from the paper's
    // corner (see mapTwips).
    void drawItems(QPainter& painter, const std::vector<Item>& items) const;
    void drawPage(QPainter& painter, int index);

    // Scales and moves a painter on the device so that it draws in twips from
    // the paper's top-left corner, wherever the device puts its origin.
    static void mapTwips(QPainter& painter, const QPaintDevice& device);

    // Prints pages from..to (0-based, to < 0 for the last), each drawn just
    // before it goes out, on a device whose paper this renderer was made for.
    // Throws when the device cannot be painted on.
    void print(QPagedPaintDevice& device, int from = 0, int to = -1);

private:
    // Where a page starts: a contact, and the first line of its growing box
    // to print (above 0 only for a contact too tall for one page).
    struct Cursor {
        int row = 0;
        int line = 0;
    };
    // A contact's place on a page: all of it, or some lines of its growing box.
    struct Slice {
        int row = 0;
        int top = 0;
        int firstLine = 0;
        int lineCount = 0;
        bool whole = true;
    };
    struct PageFit {
        Cursor next;
        bool last = false;
        int reportHeaderTop = -1;
        int pageHeaderTop = 0;
        int pageFooterTop = 0;
        int reportFooterTop = -1;
        std::vector<Slice> slices;
    };

    PageFit fitPage(int index, Cursor start, bool keepSlices) const;
    void findNextPage();
    QStringList growingLines(int row) const;
    // The lines of a fixed box's text within its room.
    QStringList fittedLines(const QString& text, const QRect& room) const;
    // Each detail control's room in its band, by the controls around it.
    QRect roomOf(const ReportDesign::Control& control) const;
    int growingLineCount(int row) const;
    int detailHeight(int lines) const;
    QString growingText(int row) const;
    void addBand(std::vector<Item>& items, const ReportDesign::Band& band, int top) const;
    void addSlice(std::vector<Item>& items, const Slice& slice) const;

    const ReportDesign& mDesign;
    const ReportRows& mRows;
    QSize mPaper;
    QFont mFont;
    QFontMetricsF mMetrics;
    int mPitch = 0;
    ReportTextWrapper mWrapper;
    const ReportDesign::Band& mDetail;
    // The detail band's growing box, or nullptr.
    const ReportDesign::Control* mGrowing = nullptr;
    // The row field each detail control shows; -1 for the others.
    std::vector<int> mFieldOf;
    std::vector<QRect> mRooms;
    int mGrowingField = -1;

    std::vector<Cursor> mPageStarts;
    Cursor mNext;
    bool mPaginated = false;
};
