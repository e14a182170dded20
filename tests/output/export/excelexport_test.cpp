#include <gtest/gtest.h>

#include <utime.h>

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include "exportfixture.h"
#include "output/excelexport.h"
#include "output/excelexportrows.h"
#include "output/spreadsheetfolder.h"
#include "output/spreadsheetworkbook.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "support/tempenv.h"
#include "ui/main/contactrows.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"
#include "xlsxreader.h"

namespace {

const char kColumns[] = "ABCDEFGHIJKLM";

QString ref(int column, int row)
{
    return QLatin1Char(kColumns[column - 1]) + QString::number(row);
}

ListRow contactRow(const QString& id, const std::vector<std::pair<int, QString>>& fields)
{
    std::array<QString, ListRow::kFields> texts;
    texts[0] = id;
    for (const auto& [field, text] : fields)
        texts[static_cast<size_t>(field)] = text;
    return ListRow(texts);
}

// The main list's model with its fourteen columns and the given rows.
void fill(ContactRows& model, std::vector<ListRow> rows)
{
    for (const QString& heading : contactHeadings())
        model.addColumn(heading);
    model.setRows(std::move(rows));
}

int permissionsOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return static_cast<int>(info.st_mode & 07777);
}

void setAge(const QString& path, long long seconds)
{
    const time_t when = std::time(nullptr) - static_cast<time_t>(seconds);
    const struct timeval times[2] = {{when, 0}, {when, 0}};
    ::lutimes(QFile::encodeName(path).constData(), times);
}

void touch(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

TEST_F(ExportTest, WorkbookHoldsTheShownRowsInTheirOrderAsText)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    ContactRows model;
    ContactSortProxy shownOrder(model);
    fill(model, {contactRow(QStringLiteral("9001"), {{1, QStringLiteral("Anna Lowe")},
                                                     {2, QStringLiteral("01/02/1980")},
                                                     {3, QStringLiteral("0123")},
                                                     {13, QStringLiteral("a=b")}}),
                 contactRow(QStringLiteral("9002"), {{1, QStringLiteral("Bob Smith")}, {3, QStringLiteral("555")}}),
                 contactRow(QStringLiteral("9003"), {{1, QStringLiteral("Ivan Petrov")},
                                                     {11, QStringLiteral("ivan@example.org")},
                                                     {12, QStringLiteral("=1+1")},
                                                     {10, QStringLiteral("==")}}),
                 contactRow(QStringLiteral("9004"), {{1, QStringLiteral("Jane")}}),
                 contactRow(QStringLiteral("9005"), {{1, QStringLiteral("Zoltan")},
                                                     {8, QStringLiteral("Fax")},
                                                     {13, QStringLiteral("short\nthe longest line of all")}})});
    // Sorted by name, falling, as a heading click shows it.
    shownOrder.columnClick(2);
    shownOrder.columnClick(2);
    QObject window;
    std::vector<int> pointers;
    std::vector<ListRow> shown = shownOrder.shownRows();
    // A search that left Bob out.
    shown.erase(shown.begin() + 3);
    ExcelExportRows list(model.headings(), std::move(shown), &window,
                         [&](int pointer) { pointers.push_back(pointer); });

    exportList(list);

    EXPECT_TRUE(mMessages.shown().empty()) << mMessages.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(pointers, std::vector<int>({11, 0}));
    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"));
    ASSERT_EQ(launched.size(), 1u);
    ASSERT_EQ(launched[0].size(), 3);
    EXPECT_EQ(launched[0].mid(0, 2), QStringList({QStringLiteral("--calc"), QStringLiteral("-n")}));
    const QString file = launched[0][2];
    EXPECT_EQ(QFileInfo(file).absolutePath(), workbookFolder());
    EXPECT_EQ(permissionsOf(file), 0600);
    EXPECT_EQ(permissionsOf(workbookFolder()), 0700);

    const SheetContents sheet = readFirstSheet(file);
    ASSERT_TRUE(sheet.ok);
    std::map<QString, QString> expected;
    const QStringList headings = contactHeadings();
    for (int column = 1; column <= 13; ++column)
        expected[ref(column, 1)] = headings[column];
    expected[ref(1, 2)] = QStringLiteral("Zoltan");
    expected[ref(8, 2)] = QStringLiteral("Fax");
    expected[ref(13, 2)] = QStringLiteral("short\nthe longest line of all");
    // A contact with only a name fills only column A.
    expected[ref(1, 3)] = QStringLiteral("Jane");
    expected[ref(1, 4)] = QStringLiteral("Ivan Petrov");
    expected[ref(11, 4)] = QStringLiteral("ivan@example.org");
    expected[ref(12, 4)] = QStringLiteral("1+1");
    expected[ref(1, 5)] = QStringLiteral("Anna Lowe");
    expected[ref(2, 5)] = QStringLiteral("01/02/1980");
    expected[ref(3, 5)] = QStringLiteral("0123");
    expected[ref(13, 5)] = QStringLiteral("ab");
    // "==" loses every character; the cell it names stays empty.
    std::map<QString, QString> actual = sheet.cells;
    for (auto it = actual.begin(); it != actual.end();) {
        it = it->second.isEmpty() ? actual.erase(it) : std::next(it);
    }
    EXPECT_EQ(actual, expected);
    for (const auto& [cell, type] : sheet.types) {
        // Text in the cell or in the shared table; never a number or formula.
        if (!sheet.cells.at(cell).isEmpty()) {
            EXPECT_TRUE(type == QLatin1String("inlineStr") || type == QLatin1String("s")) << cell.toStdString();
        }
    }
    // Widths follow the longest text of each column, heading included.
    const std::pair<int, int> longest[] = {{1, 11}, {2, 13}, {3, 12}, {8, 9}, {11, 16}, {13, 23}};
    for (const auto& [column, characters] : longest) {
        ASSERT_TRUE(sheet.widths.count(column)) << column;
        EXPECT_GE(sheet.widths.at(column), SpreadsheetWorkbook::fittedWidth(characters)) << column;
        EXPECT_LT(sheet.widths.at(column), SpreadsheetWorkbook::fittedWidth(characters) + 1) << column;
    }
}

TEST_F(ExportTest, EmptyListLeavesAtOnce)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    ScriptedList list;
    list.headers = contactHeadings();
    exportList(list);
    EXPECT_TRUE(mMessages.shown().empty());
    EXPECT_TRUE(list.pointers.empty());
    EXPECT_EQ(list.reads, 0);
    EXPECT_FALSE(QFile::exists(workbookFolder()));
    EXPECT_TRUE(starts(QStringLiteral("soffice"), 1, 300).empty());
}

TEST_F(ExportTest, WithoutASpreadsheetProgramOnlyTheTwoMessages)
{
    ScriptedList list;
    list.headers = contactHeadings();
    list.rows = 3;
    list.cell = [](int, int) { return QStringLiteral("x"); };
    exportList(list);

    ASSERT_EQ(mMessages.shown().size(), 2u);
    EXPECT_EQ(mMessages.shown()[0].text, QStringLiteral("Excel is not installed on this computer. You need to have "
                                                        "it installed to use this software without error."));
    EXPECT_EQ(mMessages.shown()[1].text, QStringLiteral("Excel is not installed on this computer. You need to have "
                                                        "it installed to use this feature."));
    for (const MessageRequest& box : mMessages.shown()) {
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_EQ(box.icon, MsgIcon::None);
        EXPECT_EQ(box.title, QStringLiteral("Rondexa"));
    }
    EXPECT_EQ(list.calls, 0);
    EXPECT_FALSE(QFile::exists(cacheHome()));
}

TEST_F(ExportTest, HandsTheWorkbookOverAsANewDocumentWithoutWaiting)
{
    struct Case {
        QStringList present;
        QString started;
        bool office;
    };
    const Case cases[] = {
        {{QStringLiteral("gnumeric")}, QStringLiteral("gnumeric"), false},
        {{QStringLiteral("gnumeric"), QStringLiteral("localc")}, QStringLiteral("localc"), true},
        {{QStringLiteral("localc"), QStringLiteral("libreoffice")}, QStringLiteral("libreoffice"), true},
        {{QStringLiteral("libreoffice"), QStringLiteral("soffice")}, QStringLiteral("soffice"), true},
    };
    ScriptedList list;
    list.headers = contactHeadings();
    list.rows = 1;
    list.cell = [](int, int column) { return column == 2 ? QStringLiteral("Anna") : QString(); };
    for (const Case& c : cases) {
        for (const QString& name : c.present)
            addSpreadsheetProgram(name, 3);
        QElapsedTimer clock;
        clock.start();
        exportList(list);
        // The stand-in stays running for three seconds.
        EXPECT_LT(clock.elapsed(), 2000);
        const std::vector<QStringList> launched = starts(c.started);
        ASSERT_EQ(launched.size(), 1u) << c.started.toStdString();
        const QString file = launched[0].last();
        EXPECT_EQ(launched[0],
                  c.office ? QStringList({QStringLiteral("--calc"), QStringLiteral("-n"), file}) : QStringList({file}));
        EXPECT_EQ(readFirstSheet(file).cells[QStringLiteral("A2")], QStringLiteral("Anna"));
        for (const QString& name : c.present) {
            if (name != c.started) {
                EXPECT_TRUE(starts(name, 1, 0).empty()) << name.toStdString();
            }
        }
        QDir(bin()).removeRecursively();
        QDir().mkpath(bin());
    }
    EXPECT_TRUE(mMessages.shown().empty());
}

TEST_F(ExportTest, RowsThatVanishAreReportedAndTheExportGoesOn)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    ScriptedList list;
    list.headers = contactHeadings();
    list.rows = 5;
    list.cell = [](int row, int column) { return QStringLiteral("r%1c%2").arg(row).arg(column); };
    // Another command reloads the list with two rows once two rows are read.
    list.beforeRead = [&list](int reads) {
        if (reads == 2 * 13)
            list.rows = 2;
    };
    exportList(list);

    // Each cell of the three vanished rows: its read (140) and the write that
    // reads it anew (142).
    const std::vector<int> lines = reportedLines();
    ASSERT_EQ(lines.size(), 3u * 13u * 2u);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], i % 2 == 0 ? 140 : 142) << i;
    EXPECT_TRUE(mMessages.shown()[0].text.startsWith(QStringLiteral("Index out of bounds\r\n")));
    EXPECT_EQ(list.pointers, std::vector<int>({11, 0}));

    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"));
    ASSERT_EQ(launched.size(), 1u);
    const SheetContents sheet = readFirstSheet(launched[0].last());
    EXPECT_EQ(sheet.cells.size(), 13u * 3u);
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A3")), QStringLiteral("r2c2"));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("M3")), QStringLiteral("r2c14"));
}

// The window's own button, over a real data file: every heading stands over
// its own data, the names in column A and the remarks in column M, and every
// cell holds what the list shows.
TEST_F(ExportTest, TheWindowsExportPutsEveryHeadingOverItsOwnColumn)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    TempEnv env;
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    for (const QString& name : {QStringLiteral("Anna Lowe"), QStringLiteral("Zoltan")}) {
        Contact values;
        for (const contact::FieldInfo& field : contact::fields())
            values[field.field] = name + QLatin1Char(' ') + QLatin1String(field.column);
        values[contact::Field::Remark] = name + QStringLiteral(" lives at Kastanienallee 5\nBerlin");
        env.gConn()->execute(contact::insertStatement(values));
    }
    form.loadRondexa();
    // Names falling, as two heading clicks show them.
    form.ListView1_ColumnClick(2);
    form.ListView1_ColumnClick(2);

    form.PushButton7_Click();

    EXPECT_TRUE(env.messages().shown().empty()) << env.messages().texts().join(QLatin1Char('|')).toStdString();
    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"));
    ASSERT_EQ(launched.size(), 1u);
    const SheetContents sheet = readFirstSheet(launched[0].last());
    ASSERT_TRUE(sheet.ok);
    const ContactSortProxy& model = form.listModel();
    ASSERT_EQ(model.columnCount(), 14);
    std::map<QString, QString> expected;
    for (int column = 1; column < model.columnCount(); ++column) {
        expected[ref(column, 1)] = model.headerData(column, Qt::Horizontal).toString();
        for (int row = 0; row < model.rowCount(); ++row)
            expected[ref(column, row + 2)] = model.index(row, column).data().toString();
    }
    EXPECT_EQ(sheet.cells, expected);
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A1")), QStringLiteral("Name"));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A2")), QStringLiteral("Zoltan ContactName"));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("M1")), QStringLiteral("Remarks"));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("M3")), QStringLiteral("Anna Lowe lives at Kastanienallee 5\nBerlin"));
}

// Searches and reloads during an export change the list on screen, not what
// is being exported: no row has vanished for it, and nothing is reported.
TEST_F(ExportTest, CommandsClickedDuringAnExportChangeNothingItWrites)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    auto model = std::make_unique<ContactRows>();
    std::vector<ListRow> rows;
    for (int i = 0; i < 400; ++i)
        rows.push_back(contactRow(QString::number(i),
                                  {{1, QStringLiteral("Name %1").arg(i)}, {13, QStringLiteral("remark %1").arg(i)}}));
    fill(*model, rows);
    auto window = std::make_unique<QObject>();
    ExcelExportRows rowsList(model->headings(), model->rows(), window.get(), [](int) {});

    // Slow enough that events are let through many times.
    class SlowList : public ExcelExportList {
    public:
        explicit SlowList(ExcelExportList& inner) : mInner(inner) {}
        int columnCount() const override { return mInner.columnCount(); }
        QString headerText(int column) const override { return mInner.headerText(column); }
        int rowCount() const override { return mInner.rowCount(); }
        QString cellText(int row, int column) const override
        {
            if (column == 2)
                QThread::usleep(1000);
            return mInner.cellText(row, column);
        }
        void setMousePointer(int pointer) override { mInner.setMousePointer(pointer); }

    private:
        ExcelExportList& mInner;
    } list(rowsList);

    // The clicks, one each time events are let through: a search, a delete, a
    // second export, closing the window.
    std::vector<std::function<void()>> clicks = {
        [&] { model->setRows(std::vector<ListRow>(rows.begin(), rows.begin() + 300)); },
        [&] { model->setRows(std::vector<ListRow>(rows.begin(), rows.begin() + 1)); },
        [&] { exportList(list); },
        [&] {
            model.reset();
            window.reset();
        },
    };
    size_t next = 0;
    QTimer clicker;
    clicker.setInterval(0);
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (next >= clicks.size()) {
            clicker.stop();
            return;
        }
        clicks[next++]();
    });
    clicker.start();
    exportList(list);

    EXPECT_EQ(next, clicks.size());
    EXPECT_FALSE(model);
    EXPECT_TRUE(mMessages.shown().empty()) << mMessages.texts().join(QLatin1Char('|')).toStdString();
    // Both exports wrote every row as it was when they began.
    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"), 2);
    ASSERT_EQ(launched.size(), 2u);
    for (const QStringList& words : launched) {
        const SheetContents sheet = readFirstSheet(words.last());
        ASSERT_TRUE(sheet.ok);
        EXPECT_EQ(sheet.cells.at(ref(1, 401)), QStringLiteral("Name 399"));
        EXPECT_EQ(sheet.cells.at(ref(13, 401)), QStringLiteral("remark 399"));
    }
}

TEST_F(ExportTest, OverlongTextIsCutWithOneReport)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    const QString emoji = QString::fromUtf16(u"\U0001F600");
    ScriptedList list;
    list.headers = contactHeadings();
    list.rows = 2;
    list.cell = [&](int row, int column) {
        if (column == 2)
            return QString(40000, QLatin1Char('x'));
        if (column == 14 && row == 1)
            // The character at the limit takes two units: it does not fit.
            return QString(32766, QLatin1Char('y')) + emoji + QStringLiteral("tail");
        return QString();
    };
    exportList(list);

    ASSERT_EQ(mMessages.shown().size(), 1u);
    EXPECT_EQ(reportedLines(), std::vector<int>({142}));
    EXPECT_TRUE(mMessages.shown()[0].text.startsWith(
        QStringLiteral("A cell holds at most 32767 characters: the text of list row 1, column 2, and any other "
                       "longer text were cut there.\r\n")));
    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"));
    ASSERT_EQ(launched.size(), 1u);
    const SheetContents sheet = readFirstSheet(launched[0].last());
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A2")), QString(32767, QLatin1Char('x')));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A3")), QString(32767, QLatin1Char('x')));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("M2")), QString(32766, QLatin1Char('y')));
    EXPECT_EQ(sheet.widths.at(1), 255.0 + 0.7109375);
}

TEST_F(ExportTest, AtMostASheetOfRows)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    const int sheetRows = static_cast<int>(SpreadsheetWorkbook::kMaxRows);
    ScriptedList list;
    list.headers = {QStringLiteral("ID"), QStringLiteral("Name")};
    list.rows = sheetRows + 1;
    list.cell = [sheetRows](int row, int) {
        return row == 1 || row >= sheetRows - 1 ? QStringLiteral("row %1").arg(row) : QString();
    };
    exportList(list);

    ASSERT_EQ(mMessages.shown().size(), 1u);
    EXPECT_EQ(reportedLines(), std::vector<int>({130}));
    EXPECT_TRUE(mMessages.shown()[0].text.startsWith(
        QStringLiteral("The list holds 1048577 rows, but a sheet holds only 1048575 below its header row: the "
                       "rows after row 1048575 are not exported.\r\n")));
    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"));
    ASSERT_EQ(launched.size(), 1u);
    const SheetContents sheet = readFirstSheet(launched[0].last());
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A2")), QStringLiteral("row 1"));
    EXPECT_EQ(sheet.cells.at(QStringLiteral("A1048576")), QStringLiteral("row 1048575"));
    // The heading, the first row and the last row that fits.
    EXPECT_EQ(sheet.cells.size(), 3u);
}

TEST_F(ExportTest, WorkbookFolderStaysPrivateAndOldWorkbooksGo)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    QDir().mkpath(workbookFolder());
    QFile(workbookFolder())
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                        QFile::ReadOther | QFile::ExeOther);
    const QString old = workbookFolder() + QStringLiteral("/Rondexa-old123.xlsx");
    const QString recent = workbookFolder() + QStringLiteral("/Rondexa-new123.xlsx");
    const QString foreign = workbookFolder() + QStringLiteral("/notes.xlsx");
    const QString outside = mRoot.path() + QStringLiteral("/outside.xlsx");
    const QString link = workbookFolder() + QStringLiteral("/Rondexa-link12.xlsx");
    for (const QString& file : {old, recent, foreign, outside})
        touch(file);
    QFile::link(outside, link);
    setAge(old, SpreadsheetFolder::kMaxAgeSeconds + 60);
    setAge(recent, SpreadsheetFolder::kMaxAgeSeconds - 3600);
    setAge(foreign, SpreadsheetFolder::kMaxAgeSeconds * 3);
    setAge(outside, SpreadsheetFolder::kMaxAgeSeconds * 3);
    setAge(link, SpreadsheetFolder::kMaxAgeSeconds * 3);

    ScriptedList list;
    list.headers = contactHeadings();
    list.rows = 1;
    list.cell = [](int, int) { return QStringLiteral("x"); };
    exportList(list);

    EXPECT_TRUE(mMessages.shown().empty());
    const std::vector<QStringList> launched = starts(QStringLiteral("soffice"));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(permissionsOf(launched[0].last()), 0600);
    EXPECT_EQ(permissionsOf(workbookFolder()), 0700);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(foreign));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFile::exists(outside));
    // The new one, the recent one, the link.
    EXPECT_EQ(workbooks().filter(QStringLiteral("Rondexa-")).size(), 3);

    // The next start takes every workbook earlier runs left: they are copies
    // of the list, deleted contacts included. Only those of a copy of the
    // program still running stay, this one's among them.
    SpreadsheetFolder::removeLeftovers();
    EXPECT_FALSE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(launched[0].last()));
    EXPECT_TRUE(QFile::exists(foreign));
    EXPECT_TRUE(QFile::exists(outside));
}

TEST_F(ExportTest, AWorkbookThatCannotBeWrittenCostsOneReportPerStep)
{
    addSpreadsheetProgram(QStringLiteral("soffice"));
    // The cache folder is a file: no folder can be made in it.
    touch(cacheHome());
    ScriptedList list;
    list.headers = contactHeadings();
    list.rows = 50;
    list.cell = [](int, int) { return QStringLiteral("x"); };
    exportList(list);

    EXPECT_EQ(reportedLines(), std::vector<int>({112, 154}));
    EXPECT_EQ(list.pointers, std::vector<int>({11, 0}));
    EXPECT_TRUE(starts(QStringLiteral("soffice"), 1, 300).empty());
}

} // namespace
