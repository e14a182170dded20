#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QItemSelectionModel>

#include <unicode/ucol.h>

#include "base/apperror.h"
#include "ui/main/contactrows.h"
#include "ui/main/contactsortproxy.h"

namespace {

const int kId = 0;
const int kName = 1;
const int kBirth = 2;
const int kEmail = 11;

struct Person {
    const char* id;
    const char* name;
    const char* birth = "";
    const char* email = "";
};

ListRow listRow(const Person& c)
{
    std::array<QString, ListRow::kFields> texts;
    texts[kId] = QString::fromUtf8(c.id);
    texts[kName] = QString::fromUtf8(c.name);
    texts[kBirth] = QString::fromUtf8(c.birth);
    texts[kEmail] = QString::fromUtf8(c.email);
    return ListRow(texts);
}

std::vector<ListRow> rows(const std::vector<Person>& contacts)
{
    std::vector<ListRow> out;
    for (const Person& c : contacts)
        out.push_back(listRow(c));
    return out;
}

// The fourteen headings, as the main window adds them.
void addHeadings(ContactRows& model)
{
    for (const char* h : {"ID", "Name", "Date Of Birth", "Mobile No. 1", "Mobile No. 2", "Office No. 1", "Office No. 2",
                          "Fax No. 1", "Fax No. 2", "Home No. 1", "Home No. 2", "Email", "Website", "Remarks"})
        model.addColumn(QLatin1String(h));
}

// One column as shown, top to bottom, read through the view's own interface.
QStringList shown(const QAbstractItemModel& model, int column)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.data(model.index(r, column)).toString();
    return texts;
}

QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

// Rows in the list query's order (by name) with e-mail addresses in another.
std::vector<Person> people()
{
    return {{"4", "Anna", "", "zed@example.org"},
            {"2", "Bob", "", "anna@example.org"},
            {"7", "Carla", "", "Mia@example.org"},
            {"1", "Dmitri", "", "bob@example.org"}};
}

// The list's rows and the order the view shows them in, as the main window
// pairs them.
struct List {
    ContactRows rows;
    ContactSortProxy shown{rows};
    List() { addHeadings(rows); }
    const ListRow& row(int view) const { return rows.row(shown.sourceRow(view)); }
};

} // namespace

TEST(ColumnSort, ClicksSortAscendingFlipAndStartAgainOnAnotherColumn)
{
    List model;
    model.rows.setRows(rows(people()));
    EXPECT_EQ(model.shown.sortColumn(), -1);

    int layoutChanges = 0;
    QObject::connect(&model.shown, &QAbstractItemModel::layoutChanged, [&] { ++layoutChanges; });

    model.shown.columnClick(kName + 1);
    EXPECT_GE(model.shown.sortColumn(), 0);
    EXPECT_EQ(model.shown.sortColumn(), kName);
    EXPECT_EQ(model.shown.sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(shown(model.shown, kName), strings({"Anna", "Bob", "Carla", "Dmitri"}));

    model.shown.columnClick(kName + 1);
    EXPECT_EQ(model.shown.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(shown(model.shown, kName), strings({"Dmitri", "Carla", "Bob", "Anna"}));

    model.shown.columnClick(kEmail + 1);
    EXPECT_EQ(model.shown.sortColumn(), kEmail);
    EXPECT_EQ(model.shown.sortOrder(), Qt::AscendingOrder);
    // Letter case does not count: "Mia" between "bob" and "zed".
    EXPECT_EQ(shown(model.shown, kEmail),
              strings({"anna@example.org", "bob@example.org", "Mia@example.org", "zed@example.org"}));

    // Back on Name: ascending again, not the descending it had before.
    model.shown.columnClick(kName + 1);
    EXPECT_EQ(model.shown.sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(shown(model.shown, kName), strings({"Anna", "Bob", "Carla", "Dmitri"}));

    model.shown.columnClick(kName + 1);
    model.shown.columnClick(kName + 1);
    EXPECT_EQ(model.shown.sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(shown(model.shown, kName), strings({"Anna", "Bob", "Carla", "Dmitri"}));
    // Every click re-sorted once, even the one that changed nothing visible.
    EXPECT_EQ(layoutChanges, 6);
}

TEST(ColumnSort, CellsCompareAsTextNeverAsNumbersOrDates)
{
    List model;
    model.rows.setRows(rows({{"9", "a", "12/01/1950"},
                             {"10", "b", "01/31/1999"},
                             {"2", "c", "10/10/1910"},
                             {"100", "d", "02/15/1980"},
                             {"19", "e", "01/02/2003"}}));
    model.shown.columnClick(kId + 1);
    EXPECT_EQ(shown(model.shown, kId), strings({"10", "100", "19", "2", "9"}));
    model.shown.columnClick(kId + 1);
    EXPECT_EQ(shown(model.shown, kId), strings({"9", "2", "19", "100", "10"}));

    // Dates kept as "mm/dd/yyyy" text order by month, then day, then year.
    model.shown.columnClick(kBirth + 1);
    EXPECT_EQ(shown(model.shown, kBirth),
              strings({"01/02/2003", "01/31/1999", "02/15/1980", "10/10/1910", "12/01/1950"}));
}

TEST(ColumnSort, EveryAlphabetInItsOwnOrderWithCaseIgnored)
{
    List model;
    model.rows.setRows(rows({{"1", "Яков"},
                             {"2", "Zed"},
                             {"3", "борис"},
                             {"4", "Ève"},
                             {"5", "émile"},
                             {"6", "Bob"},
                             {"7", "anna"},
                             {"8", "Eva"},
                             {"9", "Ёжик"},
                             {"10", "Жанна"},
                             {"11", "Евгений"},
                             {"12", "Emma"},
                             {"13", "Νίκος"},
                             {"14", "άλφα"}}));
    model.shown.columnClick(kName + 1);
    // Latin before Greek before Cyrillic; an accent only decides between
    // otherwise equal names, and Ё sorts with Е.
    EXPECT_EQ(shown(model.shown, kName), strings({"anna", "Bob", "émile", "Emma", "Eva", "Ève", "Zed", "άλφα", "Νίκος",
                                                  "борис", "Евгений", "Ёжик", "Жанна", "Яков"}));
}

TEST(ColumnSort, NamesEqualButForCaseKeepTheirShownOrder)
{
    List model;
    model.rows.setRows(rows({{"1", "bob", "03/01/2000"},
                             {"2", "Al", "01/01/2000"},
                             {"3", "BOB", "02/01/2000"},
                             {"4", "Bob", "01/01/2000"}}));
    model.shown.columnClick(kBirth + 1);
    // Sorting by name now keeps the date order among the three Bobs.
    model.shown.columnClick(kName + 1);
    EXPECT_EQ(shown(model.shown, kId), strings({"2", "4", "3", "1"}));
    model.shown.columnClick(kName + 1);
    EXPECT_EQ(shown(model.shown, kId), strings({"4", "3", "1", "2"}));
}

// Texts that agree far beyond their first letters, differing late in a
// letter, an accent or letter case only, come in the collation's own order
// both ways, with ties kept as shown.
TEST(ColumnSort, LongTextsThatDifferOnlyLateSortAsTheCollationDoes)
{
    const std::string common = "Meeting notes about the quarterly garden club ";
    const std::vector<std::string> endings = {"z", "a", "É", "e", "E", "", "é a", "e z", "b", "B", "e"};
    std::vector<Person> people;
    std::vector<std::string> names;
    for (size_t i = 0; i < endings.size(); ++i)
        names.push_back((i % 3 == 0 ? std::string("É") : std::string("E")) + common + endings[i]);
    for (size_t i = 0; i < names.size(); ++i)
        people.push_back({strdup(std::to_string(i).c_str()), names[i].c_str()});

    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    ucol_setStrength(collator, UCOL_SECONDARY);
    for (const bool descending : {false, true}) {
        std::vector<size_t> expected(names.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) {
            UErrorCode s = U_ZERO_ERROR;
            const UCollationResult r = ucol_strcollUTF8(collator, names[a].c_str(), -1, names[b].c_str(), -1, &s);
            return descending ? r == UCOL_GREATER : r == UCOL_LESS;
        });
        QStringList expectedIds;
        for (const size_t i : expected)
            expectedIds << QString::number(i);

        List model;
        model.rows.setRows(rows(people));
        model.shown.columnClick(kName + 1);
        if (descending)
            model.shown.columnClick(kName + 1);
        EXPECT_EQ(shown(model.shown, kId), expectedIds) << (descending ? "descending" : "ascending");
    }
    ucol_close(collator);
    for (const Person& p : people)
        free(const_cast<char*>(p.id));
}

TEST(ColumnSort, SortSurvivesRefillAndSearch)
{
    List model;
    model.rows.setRows(rows(people()));
    model.shown.columnClick(kEmail + 1);
    model.shown.columnClick(kEmail + 1);
    ASSERT_EQ(model.shown.sortOrder(), Qt::DescendingOrder);

    // A refill after an insert: the new contact appears in sort order at once.
    std::vector<Person> refill = people();
    refill.push_back({"9", "Eve", "", "carol@example.org"});
    model.rows.setRows(rows(refill));
    EXPECT_GE(model.shown.sortColumn(), 0);
    EXPECT_EQ(model.shown.sortColumn(), kEmail);
    EXPECT_EQ(model.shown.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(shown(model.shown, kEmail), strings({"zed@example.org", "Mia@example.org", "carol@example.org",
                                                   "bob@example.org", "anna@example.org"}));

    // A search leaves fewer rows, still in the same order.
    model.rows.setRows(rows({{"2", "Bob", "", "anna@example.org"}, {"4", "Anna", "", "zed@example.org"}}));
    EXPECT_EQ(shown(model.shown, kName), strings({"Anna", "Bob"}));

    // An empty result and a click on it are fine too.
    model.rows.setRows({});
    model.shown.columnClick(kName + 1);
    EXPECT_EQ(model.shown.rowCount(), 0);
    EXPECT_THROW(model.shown.sourceRow(0), AppError);
}

TEST(ColumnSort, RowsAreReadWhereTheyAreShownAndTheSelectionFollowsItsContact)
{
    List model;
    model.rows.setRows(rows(people()));
    QItemSelectionModel selection(&model.shown);
    // The user selects Bob, second in name order, then sorts by e-mail:
    // Bob's address comes first.
    selection.select(model.shown.index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    model.shown.columnClick(kEmail + 1);

    const QModelIndexList selected = selection.selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), 0);
    // Update and Delete read the selected view row: it must be Bob, ID 2.
    const ListRow& picked = model.row(selected.first().row());
    EXPECT_EQ(picked[kName], "Bob");
    EXPECT_EQ(picked[kId], "2");
    EXPECT_EQ(model.shown.sourceRow(0), 1);

    // Descending: Bob is now last, and still the selected contact.
    model.shown.columnClick(kEmail + 1);
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(selection.selectedRows().first().row(), 3);
    EXPECT_EQ(model.row(3)[kId], "2");
    // Every view row maps to a different source row that holds what is shown.
    std::vector<bool> seen(4, false);
    for (int view = 0; view < model.shown.rowCount(); ++view) {
        const int source = model.shown.sourceRow(view);
        ASSERT_GE(source, 0);
        ASSERT_LT(source, 4);
        EXPECT_FALSE(seen[static_cast<size_t>(source)]);
        seen[static_cast<size_t>(source)] = true;
        EXPECT_EQ(model.row(view)[kName], QString::fromUtf8(people()[static_cast<size_t>(source)].name));
    }
    EXPECT_THROW(model.shown.sourceRow(4), AppError);
    EXPECT_THROW(model.shown.sourceRow(-1), AppError);
}

TEST(ColumnSort, NoColumnShowsTheRowsOwnOrderAgain)
{
    List model;
    model.rows.setRows(rows(people()));
    model.shown.sort(14);
    EXPECT_EQ(model.shown.sortColumn(), -1);
    model.shown.columnClick(kName + 1);
    model.shown.columnClick(kName + 1);
    EXPECT_EQ(shown(model.shown, kName), strings({"Dmitri", "Carla", "Bob", "Anna"}));
    model.shown.sort(-1);
    EXPECT_EQ(shown(model.shown, kName), strings({"Anna", "Bob", "Carla", "Dmitri"}));
}

// A row the source cannot read shows as such in every cell it does not hold,
// and the failure is said once, after the paint that met it.
TEST(ListRows, ARowThatCannotBeReadIsShownAsSuchAndSaidOnce)
{
    class Failing : public ContactRows::Source {
    public:
        int reads = 0;
        std::optional<ListRow> row(QByteArrayView) override
        {
            ++reads;
            throw AppError(QStringLiteral("disk I/O error"), 10);
        }
        void column(size_t, const std::function<void(qint64, QByteArrayView)>&) override
        {
            throw AppError(QStringLiteral("disk I/O error"), 10);
        }
    } source;
    List model;
    model.rows.setSource(&source);
    ListRow::Builder partial;
    partial.add("5");
    partial.add("Anna");
    std::vector<ListRow> held;
    held.push_back(partial.take());
    model.rows.setRows(std::move(held));
    QStringList said;
    QObject::connect(&model.rows, &ContactRows::readFailed, [&](const QString& reason) { said << reason; });

    EXPECT_EQ(shown(model.shown, kName), strings({"Anna"}));
    for (int paint = 0; paint < 3; ++paint)
        EXPECT_EQ(shown(model.shown, kEmail), QStringList({ContactRows::unreadableText()}));
    EXPECT_TRUE(said.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(said, QStringList({"disk I/O error"}));
    EXPECT_EQ(source.reads, 1);

    // A sort by a column it cannot read says so too, once more after a refill.
    model.rows.setRows(std::vector<ListRow>(1, model.rows.row(0)));
    model.shown.columnClick(kEmail + 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(said.size(), 2);
}
