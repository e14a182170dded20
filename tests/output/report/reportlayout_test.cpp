// Where the report puts every label and field, and how it fills pages.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>

#include "output/reportdesign.h"
#include "output/reportrenderer.h"
#include "output/reportrows.h"
#include "output/rptmain.h"
#include "support/fakes.h"

namespace {

using Item = ReportRenderer::Item;

const int kLeft = 500;
const int kTop = 1440;
const int kBottom = 1440;
const int kHeader = 810;
const int kDetail = 1140;
const QSize kA4(11906, 16838);
const QSize kLetter(12240, 15840);

struct Place {
    const char* name;
    const char* text; // caption, or the column a field shows
    int left, top, width, height;
};

// The design as it was drawn up, kept apart from the program's own copy.
const Place kHeaderPlaces[] = {
    {"Label2", "Name", 0, 0, 567, 240},         {"Label3", "DateOfBirth", 1701, 0, 1125, 240},
    {"Label4", "Mobile", 2835, 0, 567, 240},    {"Label6", "Work", 4535, 0, 570, 240},
    {"Label7", "Fax", 5669, 0, 555, 240},       {"Label1", "Home", 6803, 0, 555, 240},
    {"Label5", "Email", 2835, 300, 567, 240},   {"Label8", "Website", 5669, 300, 1134, 240},
    {"Label9", "Remark", 2835, 567, 1134, 240}, {"Line1", "", 0, 800, 8505, 0},
};
const Place kDetailPlaces[] = {
    {"Text1", "ContactName", 0, 0, 1701, 240},  {"Text2", "DateOfBirth", 1701, 0, 1140, 240},
    {"Text7", "Mobile1", 2835, 0, 1440, 240},   {"Text6", "Work1", 4300, 0, 1440, 240},
    {"Text9", "Fax1", 5800, 0, 1440, 240},      {"Text11", "Home1", 7300, 0, 1440, 240},
    {"Text3", "Mobile2", 2835, 300, 1440, 240}, {"Text8", "Work2", 4300, 300, 1440, 240},
    {"Text10", "Fax2", 5800, 300, 1440, 240},   {"Text12", "Home2", 7300, 300, 1440, 240},
    {"Text4", "Email", 2835, 567, 2834, 240},   {"Text5", "Website", 5669, 567, 2835, 240},
    {"Text13", "Remark", 2835, 850, 6231, 243},
};
const char* const kColumns[] = {"ContactName", "DateOfBirth", "Mobile1", "Mobile2", "Work1",   "Work2", "Fax1",
                                "Fax2",        "Home1",       "Home2",   "Email",   "Website", "Remark"};

QStringList fullContact(int n)
{
    const QString i = QString::number(n);
    return {"Name " + i,
            "04/0" + i + "/1978",
            "180113" + i,
            "180114" + i,
            "180115" + i,
            "180116" + i,
            "180117" + i,
            "180118" + i,
            "180119" + i,
            "180120" + i,
            "p" + i + "@example.com",
            "www.example.org/" + i,
            "Remark " + i};
}

QStringList nameOnly(const QString& name)
{
    QStringList texts(13);
    texts[0] = name;
    return texts;
}

QStringList withRemark(const QString& name, const QString& remark)
{
    QStringList texts = nameOnly(name);
    texts[12] = remark;
    return texts;
}

// Rows kept in the table's column order; the renderer finds each box's
// column by name.
ReportRows rowsOf(const std::vector<QStringList>& contacts)
{
    QStringList columns;
    for (const char* column : kColumns)
        columns << column;
    ReportRows rows(columns);
    for (const QStringList& texts : contacts)
        rows.append(texts);
    return rows;
}

std::map<QString, Item> byName(const std::vector<Item>& items, int row)
{
    std::map<QString, Item> found;
    for (const Item& item : items) {
        if (item.row == row)
            found[item.name] = item;
    }
    return found;
}

// The top of each contact's band on a page, from its name box.
std::map<int, int> bandTops(const std::vector<Item>& items)
{
    std::map<int, int> tops;
    for (const Item& item : items) {
        if (item.name == "Text1")
            tops[item.row] = item.rect.top();
    }
    return tops;
}

const Item* remarkOf(const std::vector<Item>& items, int row)
{
    for (const Item& item : items) {
        if (item.row == row && item.name == "Text13")
            return &item;
    }
    return nullptr;
}

void expectHeaderAt(const std::vector<Item>& items, int top, const char* where)
{
    SCOPED_TRACE(where);
    std::map<QString, Item> header;
    for (const Item& item : items) {
        if (item.band == "Section2")
            header[item.name] = item;
    }
    ASSERT_EQ(header.size(), std::size(kHeaderPlaces));
    for (const Place& place : kHeaderPlaces) {
        SCOPED_TRACE(place.name);
        const Item& item = header.at(place.name);
        EXPECT_EQ(item.rect, QRect(kLeft + place.left, top + place.top, place.width, place.height));
        EXPECT_EQ(item.text, QString(place.text));
        EXPECT_EQ(item.kind, place.height == 0 ? Item::Kind::Line : Item::Kind::Label);
    }
}

} // namespace

TEST(ReportLayout, EveryLabelAndFieldSitsWhereTheDesignPutsIt)
{
    const std::vector<QStringList> contacts = {fullContact(1), fullContact(2), fullContact(3)};
    const ReportRows rows = rowsOf(contacts);
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    const std::vector<Item> items = renderer.layoutPage(0);

    expectHeaderAt(items, kTop, "page header");
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const int bandTop = kTop + kHeader + row * kDetail;
        const auto fields = byName(items, row);
        ASSERT_EQ(fields.size(), std::size(kDetailPlaces));
        for (const Place& place : kDetailPlaces) {
            SCOPED_TRACE(place.name);
            const Item& item = fields.at(place.name);
            EXPECT_EQ(item.rect, QRect(kLeft + place.left, bandTop + place.top, place.width, place.height));
            const int column = static_cast<int>(std::find_if(std::begin(kColumns), std::end(kColumns),
                                                             [&](const char* c) { return QString(c) == place.text; }) -
                                                std::begin(kColumns));
            EXPECT_EQ(item.text, contacts[static_cast<size_t>(row)][column]);
            EXPECT_EQ(item.lines, QStringList{item.text});
        }
    }
    // Nothing but the header and the three contacts: no title, date, page
    // number or total anywhere.
    EXPECT_EQ(items.size(), std::size(kHeaderPlaces) + 3 * std::size(kDetailPlaces));
}

TEST(ReportLayout, NameOnlyContactLeavesTheOtherBoxesBlankAndKeepsItsHeight)
{
    const ReportRows rows = rowsOf({nameOnly("Just A Name"), fullContact(7)});
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    const std::vector<Item> items = renderer.layoutPage(0);

    const auto lonely = byName(items, 0);
    ASSERT_EQ(lonely.size(), std::size(kDetailPlaces));
    for (const auto& [name, item] : lonely) {
        SCOPED_TRACE(name.toStdString());
        if (name == "Text1") {
            EXPECT_EQ(item.lines, QStringList{"Just A Name"});
        } else {
            EXPECT_TRUE(item.text.isEmpty());
            EXPECT_EQ(item.lines.join(QString()), QString());
        }
    }
    EXPECT_EQ(lonely.at("Text13").rect.height(), 243);
    const auto tops = bandTops(items);
    EXPECT_EQ(tops.at(1) - tops.at(0), kDetail);
}

TEST(ReportLayout, LongAndMultiLineRemarksWrapAndGrowTheBand)
{
    QString longRemark;
    for (int i = 0; longRemark.size() < 400; ++i)
        longRemark += QStringLiteral("word%1 ").arg(i);
    const QString unbroken(300, QLatin1Char('x'));
    // Scripts that need shaping take the full text layout.
    QString ideographs;
    for (int i = 0; i < 120; ++i)
        ideographs += QChar(0x4E00 + i * 7);
    const QString typedLines = QStringLiteral("first line\r\nsecond line\nthird line\rfourth");
    const ReportRows rows = rowsOf({withRemark("Short", "fits on one line"), withRemark("Long", longRemark),
                                    withRemark("Lines", typedLines), withRemark("Unbroken", unbroken),
                                    withRemark("Ideographs", ideographs), withRemark("After", "x")});
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    const std::vector<Item> items = renderer.layoutPage(0);
    const QFontMetricsF metrics(renderer.font());
    const int pitch = renderer.linePitch();
    ASSERT_GT(pitch, 150);
    ASSERT_LT(pitch, 243);

    const auto tops = bandTops(items);
    ASSERT_EQ(tops.size(), 6U);
    // A one-line remark keeps the designed band.
    EXPECT_EQ(tops.at(1) - tops.at(0), kDetail);
    EXPECT_EQ(remarkOf(items, 0)->lines, QStringList{"fits on one line"});

    const QString expected[] = {"", longRemark, "", unbroken, ideographs};
    for (int row : {1, 3, 4}) {
        SCOPED_TRACE(row);
        const Item* remark = remarkOf(items, row);
        ASSERT_NE(remark, nullptr);
        ASSERT_GT(remark->lines.size(), 3);
        // Every character is printed once, and no line leaves its box.
        EXPECT_EQ(remark->lines.join(QString()), expected[row]);
        for (const QString& line : remark->lines)
            EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), 6231.0) << line.toStdString();
        const int height = static_cast<int>(remark->lines.size()) * pitch;
        EXPECT_EQ(remark->rect.height(), height);
        EXPECT_EQ(tops.at(row + 1) - tops.at(row), kDetail + height - 243);
    }

    const Item* typed = remarkOf(items, 2);
    EXPECT_EQ(typed->lines, QStringList({"first line", "second line", "third line", "fourth"}));
    EXPECT_EQ(typed->text, typedLines);
    EXPECT_EQ(tops.at(3) - tops.at(2), kDetail + 4 * pitch - 243);
    // Boxes that do not grow keep a stored line break on their one line.
    const ReportRows broken = rowsOf({nameOnly("Two\nParts")});
    ReportRenderer other(rptMain::design(), broken, kA4);
    EXPECT_EQ(byName(other.layoutPage(0), 0).at("Text1").lines, QStringList{"Two Parts"});
}

TEST(ReportLayout, PagesRepeatTheHeaderAndNeverSplitAContact)
{
    std::vector<QStringList> contacts;
    for (int i = 0; i < 150; ++i) {
        QString remark = QStringLiteral("remark %1").arg(i);
        for (int words = 0; words < (i * 7) % 60; ++words)
            remark += QStringLiteral(" more");
        if (i % 11 == 0)
            remark += QStringLiteral("\nsecond line\nthird line");
        QStringList texts = fullContact(i % 10);
        texts[0] = QStringLiteral("Contact %1").arg(i);
        texts[12] = remark;
        contacts.push_back(texts);
    }
    const ReportRows rows = rowsOf(contacts);
    for (const QSize paper : {kA4, kLetter}) {
        SCOPED_TRACE(paper.height());
        ReportRenderer renderer(rptMain::design(), rows, paper);
        const int pages = renderer.pageCount();
        ASSERT_GT(pages, 5);
        const int limit = paper.height() - kBottom;
        std::map<int, std::set<int>> pagesOfRow;
        int expectedRow = 0;
        int previousBottom = 0;
        for (int page = 0; page < pages; ++page) {
            SCOPED_TRACE(page);
            const std::vector<Item> items = renderer.layoutPage(page);
            expectHeaderAt(items, kTop, "header on every page");
            int next = kTop + kHeader;
            int bottom = next;
            for (const auto& [row, top] : bandTops(items)) {
                // Rows follow one another in order, band after band.
                EXPECT_EQ(row, expectedRow++);
                EXPECT_EQ(top, next);
                const Item* remark = remarkOf(items, row);
                const int height = std::max(kDetail, remark->rect.bottom() + 1 - top + 47);
                next = top + height;
                bottom = next;
                EXPECT_LE(bottom, limit);
            }
            for (const Item& item : items) {
                if (item.row >= 0)
                    pagesOfRow[item.row].insert(page);
            }
            // A page ends only when its next contact would not have fitted.
            if (page > 0) {
                const auto tops = bandTops(items);
                ASSERT_FALSE(tops.empty());
                const Item* first = remarkOf(items, tops.begin()->first);
                const int firstHeight = std::max(kDetail, first->rect.bottom() + 1 - tops.begin()->second + 47);
                EXPECT_GT(previousBottom + firstHeight, limit);
            }
            previousBottom = bottom;
        }
        EXPECT_EQ(expectedRow, 150);
        ASSERT_EQ(pagesOfRow.size(), 150U);
        for (const auto& [row, onPages] : pagesOfRow)
            EXPECT_EQ(onPages.size(), 1U) << "contact " << row << " split";
        EXPECT_FALSE(renderer.hasPage(pages));
    }
}

TEST(ReportLayout, EmptyTableGivesOnePageWithTheHeaderOnly)
{
    const ReportRows rows = rowsOf({});
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    EXPECT_EQ(renderer.pageCount(), 1);
    const std::vector<Item> items = renderer.layoutPage(0);
    EXPECT_EQ(items.size(), std::size(kHeaderPlaces));
    expectHeaderAt(items, kTop, "empty report");
}

TEST(ReportLayout, ContactTallerThanAPageGoesOnOverTheNextPagesWithoutLosingALine)
{
    QStringList typed;
    for (int i = 1; i <= 150; ++i)
        typed << QStringLiteral("note line %1").arg(i);
    const ReportRows rows = rowsOf({fullContact(1), withRemark("Tall", typed.join("\n")), fullContact(2)});
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    ASSERT_GE(renderer.pageCount(), 3);

    QStringList printed;
    int pagesWithTall = 0;
    for (int page = 0; page < renderer.pageCount(); ++page) {
        const std::vector<Item> items = renderer.layoutPage(page);
        expectHeaderAt(items, kTop, "header");
        const Item* remark = remarkOf(items, 1);
        if (!remark)
            continue;
        ++pagesWithTall;
        printed += remark->lines;
        EXPECT_LE(remark->rect.bottom(), kA4.height() - kBottom);
        const auto fields = byName(items, 1);
        if (pagesWithTall == 1) {
            // It starts on a fresh page rather than below the first contact.
            EXPECT_EQ(page, 1);
            EXPECT_EQ(fields.size(), std::size(kDetailPlaces));
            EXPECT_EQ(fields.at("Text1").rect.top(), kTop + kHeader);
        } else {
            // The rest of the remark starts right below the page header, alone.
            EXPECT_EQ(fields.size(), 1U);
            EXPECT_EQ(remark->rect.top(), kTop + kHeader);
        }
    }
    EXPECT_GE(pagesWithTall, 2);
    EXPECT_EQ(printed, typed);
}

TEST(ReportLayout, OnlyThePagesAskedForAreFound)
{
    std::vector<QStringList> contacts(3000, fullContact(4));
    const ReportRows rows = rowsOf(contacts);
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    ASSERT_TRUE(renderer.hasPage(0));
    EXPECT_EQ(renderer.knownPageCount(), 1);
    EXPECT_FALSE(renderer.isPaginated());
    ASSERT_TRUE(renderer.hasPage(4));
    EXPECT_EQ(renderer.knownPageCount(), 5);
    const int perPage = (kA4.height() - kTop - kBottom - kHeader) / kDetail;
    EXPECT_EQ(renderer.pageCount(), (3000 + perPage - 1) / perPage);
    EXPECT_EQ(bandTops(renderer.layoutPage(1)).begin()->first, perPage);
}

TEST(ReportLayout, DrawnPageHasItsInkInsideTheMargins)
{
    const ReportRows rows = rowsOf({fullContact(1), fullContact(2)});
    const QSize paper = ReportRenderer::paperTwips(QPageSize(QPageSize::A4));
    EXPECT_EQ(paper, kA4);
    EXPECT_EQ(ReportRenderer::paperTwips(QPageSize(QPageSize::Letter)), kLetter);
    ReportRenderer renderer(rptMain::design(), rows, paper);

    // 144 dots to the inch: ten twips a pixel.
    QImage image(paper.width() / 10, paper.height() / 10, QImage::Format_RGB32);
    image.setDotsPerMeterX(5669);
    image.setDotsPerMeterY(5669);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        ReportRenderer::mapTwips(painter, image);
        renderer.drawPage(painter, 0);
    }
    int inkLeft = image.width(), inkRight = -1, inkTop = image.height(), inkBottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
        }
    }
    EXPECT_GE(inkLeft, 50);
    EXPECT_LE(inkLeft, 52);
    EXPECT_GE(inkTop, 144);
    EXPECT_LE(inkTop, 148);
    EXPECT_LE(inkRight, (kLeft + 9195) / 10);
    // The last ink is the second contact's remark, in the band's fourth line.
    EXPECT_LE(inkBottom, (kTop + kHeader + 2 * kDetail) / 10);
    EXPECT_GE(inkBottom, (kTop + kHeader + kDetail + 850) / 10);
    // The rule under the header runs 8505 twips from the left margin.
    const int ruleRow = (kTop + 800) / 10;
    int ruleStart = -1, ruleEnd = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, ruleRow)) < 128) {
            if (ruleStart < 0)
                ruleStart = x;
            ruleEnd = x;
        }
    }
    EXPECT_EQ(ruleStart, 50);
    EXPECT_NEAR(ruleEnd, (kLeft + 8505) / 10, 1);
}

// The generator's longest names (bench/support) and longer, in several
// scripts, beside long numbers and addresses: each text stays in its own
// room, wrapping where there is paper below it and ending in an ellipsis
// where there is not.
TEST(ReportLayout, LongTextsStayInTheirOwnBoxes)
{
    const QString endless = QString("Maximilian-Alexander von Hohenzollern-Sigmaringen ").repeated(4);
    const QStringList names = {QString::fromUtf8("Ярослава Οικονόμου 99999"),
                               QString::fromUtf8("Łukasz Schröder 100000"),
                               QString::fromUtf8("美咲 Οικονόμου 99999"),
                               QString::fromUtf8("李娜 佐藤 田中 张 健太 美咲 王 "),
                               QString::fromUtf8("Αλεξάνδρα Παπαδοπούλου-Οικονόμου"),
                               endless};
    std::vector<QStringList> contacts;
    for (const QString& name : names) {
        QStringList texts = fullContact(1);
        texts[0] = name;
        texts[1] = "11/30/1999 and a note";
        for (int phone = 2; phone <= 9; ++phone)
            texts[phone] = "+44 (0)20 7946 0958 ext. 12345";
        texts[10] = "a.very.long.address.indeed@subdomain.example.org";
        texts[11] = "https://www.example.org/a/very/long/path/that/goes/on";
        contacts.push_back(texts);
    }
    const ReportRows rows = rowsOf(contacts);
    ReportRenderer renderer(rptMain::design(), rows, kA4);
    const QFontMetricsF metrics(renderer.font());
    for (int page = 0; renderer.hasPage(page); ++page) {
        const std::vector<Item> items = renderer.layoutPage(page);
        for (size_t a = 0; a < items.size(); ++a) {
            const Item& item = items[a];
            if (item.kind == Item::Kind::Line)
                continue;
            const QRect room = item.room.isValid() ? item.room : item.rect;
            SCOPED_TRACE(item.name.toStdString() + " " + item.text.toStdString());
            EXPECT_LE(static_cast<int>(item.lines.size()) * renderer.linePitch(), std::max(room.height(), 240));
            for (const QString& line : item.lines)
                EXPECT_LE(metrics.horizontalAdvance(line), room.width() + 0.5) << line.toStdString();
            for (size_t b = a + 1; b < items.size(); ++b) {
                const Item& other = items[b];
                if (other.kind != Item::Kind::Line) {
                    EXPECT_FALSE(room.intersects(other.room.isValid() ? other.room : other.rect))
                        << other.name.toStdString();
                }
            }
        }
        for (int row = 0; row < static_cast<int>(names.size()); ++row) {
            const auto fields = byName(items, row);
            if (fields.empty())
                continue;
            const QStringList nameLines = fields.at("Text1").lines;
            if (names[row] == endless)
                EXPECT_TRUE(nameLines.last().endsWith(QChar(0x2026))) << nameLines.join("|").toStdString();
            else
                EXPECT_EQ(nameLines.join(QString()), names[row]) << nameLines.join("|").toStdString();
            EXPECT_GT(nameLines.size(), 1) << names[row].toStdString();
        }
    }
}
