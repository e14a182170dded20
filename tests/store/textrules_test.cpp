#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include <unicode/ucol.h>

#include "store/casefolding.h"
#include "store/collationsort.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/likepattern.h"
#include "store/recordset.h"
#include "store/textrules.h"
#include "support/sqllike.h"

namespace {

// The matcher's answer, which each of its ways to an answer must give too.
bool like(const char* pattern, const char* text, const CaseFolding& folding = CaseFolding::standard())
{
    const LikePattern compiled(pattern, static_cast<int>(strlen(pattern)), 0, folding);
    const int size = static_cast<int>(strlen(text));
    const bool answer = compiled.matches(text, size);
    for (const LikePattern::Way way : {LikePattern::Way::Streaming, LikePattern::Way::Folded})
        EXPECT_EQ(compiled.matchesFrom(way, text, size), answer)
            << pattern << " on " << text << " from way " << static_cast<int>(way);
    return answer;
}

QStringList column(Connection& connection, const QString& query)
{
    QStringList values;
    Recordset recordset;
    recordset.open(query, connection, 3, 1);
    while (!recordset.eof()) {
        values << recordset.field(0);
        recordset.moveNext();
    }
    recordset.close();
    return values;
}

} // namespace

// The LIKE the search statement is checked with folds every alphabet, while
// the collations stay SQLite's own, as every other tool has them.
TEST(TextRules, CollationsStaySqlitesOwnWhileLikeFoldsEveryAlphabet)
{
    Connection connection;
    connection.openMemory();
    registerUnicodeLike(connection.handle(), CaseFolding::standard());
    connection.execute("create table t (name text collate nocase)");
    for (const char* name : {"Яков", "Zed", "борис", "émile", "Bob", "anna"})
        connection.execute(QStringLiteral("insert into t values ('%1')").arg(QString::fromUtf8(name)));
    EXPECT_EQ(column(connection, "select name from t order by name"),
              QStringList({"anna", "Bob", "Zed", "émile", "Яков", "борис"}));
    EXPECT_EQ(column(connection, "select name from t where name = 'БОРИС'"), QStringList());
    EXPECT_EQ(column(connection, "select name from t where name like 'БОР%'"), QStringList({"борис"}));
}

TEST(TextRules, ShortcutAgreesWithTheCollatorInEveryScript)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    ucol_setStrength(collator, UCOL_SECONDARY);
    std::mt19937 random(20261207);
    // Plain letters, accented ones, Cyrillic, Greek with and without tonos,
    // combining marks, controls and characters past the shortcut's table.
    const QString alphabet =
        QString::fromUtf8(" !#%&'-./019:@AZazlL·\u0387[_{~\t\nÀÉéèëßæøÿĀŁłŒœŸБбЁёЙйЯяЪъΑαΆάΩως\u0301\u0308"
                          "\u0306ʼ中文😀ǅǆĳ");
    std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 6);
    const auto sign = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
    for (int i = 0; i < 40000; ++i) {
        QString a;
        for (int n = length(random); n > 0; --n)
            a += alphabet[pick(random)];
        QString b = a.left(a.size() / 2);
        for (int n = length(random); n > 0; --n)
            b += alphabet[pick(random)];
        const QByteArray ua = a.toUtf8();
        const QByteArray ub = b.toUtf8();
        const int expected = ucol_strcollUTF8(collator, ua.constData(), static_cast<int32_t>(ua.size()), ub.constData(),
                                              static_cast<int32_t>(ub.size()), &status);
        ASSERT_EQ(sign(compareNoCase(ua.constData(), static_cast<int>(ua.size()), ub.constData(),
                                     static_cast<int>(ub.size()))),
                  sign(expected))
            << "'" << ua.toStdString() << "' vs '" << ub.toStdString() << "'";
    }
    ucol_close(collator);
}

TEST(TextRules, LikeFoldsCaseAndKeepsWildcards)
{
    EXPECT_TRUE(like("martin%", "Martin Oakes"));
    EXPECT_TRUE(like("бор%", "Борис"));
    EXPECT_TRUE(like("%ÉMILE%", "chez émile"));
    EXPECT_FALSE(like("oakes%", "Martin Oakes"));
    EXPECT_TRUE(like("%oakes", "Martin Oakes"));
    EXPECT_TRUE(like("M_rtin", "Martin"));
    EXPECT_FALSE(like("M_rtin", "Mrtin"));
    EXPECT_TRUE(like("_", "Я"));
    EXPECT_TRUE(like("%", ""));
    EXPECT_FALSE(like("_", ""));
    EXPECT_TRUE(like("%a%b%c%", "xxaxxbxxcxx"));
    EXPECT_FALSE(like("%a%b%c%", "xxcxxbxxaxx"));
    EXPECT_TRUE(like("%12%", "call 0123 now"));
    EXPECT_TRUE(like("a\\b%", "A\\B and more"));
    EXPECT_TRUE(likeMatches("100!%", 5, "100%", 4, U'!', CaseFolding::standard()));
    EXPECT_FALSE(likeMatches("100!%", 5, "1000", 4, U'!', CaseFolding::standard()));
    // Full folding: one letter may fold to two.
    EXPECT_TRUE(like("strasse", "Straße"));
    EXPECT_TRUE(like("%STRASSE%", "an der straße 5"));
    EXPECT_FALSE(like("strase", "Straße"));
    // Long segments take the wide masks.
    const std::string longText = std::string(300, 'a') + "b" + std::string(100, 'c');
    const std::string longPattern = "%" + std::string(150, 'A') + "B" + std::string(70, '_') + "%";
    EXPECT_TRUE(like(longPattern.c_str(), longText.c_str()));
    EXPECT_FALSE(like(("%" + std::string(150, 'a') + "c%").c_str(), longText.c_str()));
}

TEST(TextRules, TurkishLettersFoldByTheirOwnRules)
{
    const CaseFolding& turkic = CaseFolding::turkic();
    EXPECT_TRUE(like("yilmaz", "Yılmaz") == false);
    EXPECT_TRUE(like("YILMAZ", "Yılmaz", turkic));
    EXPECT_TRUE(like("ilker", "İlker", turkic));
    EXPECT_FALSE(like("ILKER", "ilker", turkic));
    EXPECT_TRUE(like("ILKER", "ilker"));
    EXPECT_EQ(turkic.fold(QString::fromUtf8("İSTANBUL")), QString::fromUtf8("istanbul"));
    EXPECT_EQ(CaseFolding::standard().fold(QString::fromUtf8("Борис ÉMILE STRAẞE")),
              QString::fromUtf8("борис émile strasse"));
}

TEST(TextRules, LikeInQueries)
{
    Connection connection;
    connection.openMemory();
    registerUnicodeLike(connection.handle(), CaseFolding::standard());
    connection.execute("create table t (name text)");
    for (const char* name : {"Martin", "Борис", "O'Brien", "Zed"})
        connection.execute(
            QStringLiteral("insert into t values ('%1')").arg(contact::literalText(QString::fromUtf8(name))));
    EXPECT_EQ(column(connection, "select name from t where name like 'martin'"), QStringList({"Martin"}));
    EXPECT_EQ(column(connection, "select name from t where name like 'бор%'"), QStringList({"Борис"}));
    EXPECT_EQ(column(connection, "select name from t where name like 'o''b%'"), QStringList({"O'Brien"}));
    EXPECT_EQ(column(connection, "select name from t where name like 'z%' escape '!'"), QStringList({"Zed"}));
    EXPECT_THROW(column(connection, "select name from t where name like 'z%' escape '!!'"), std::exception);
}

// A long list is sorted in two halves at once and merged: the order must be
// the one a single stable sort by the collation, then the tie-break, gives,
// with many names alike in their first letters and in all but letter case.
// So must the sort in two steps, its ties settled a piece at a time.
TEST(TextRules, LongListsSortInHalvesAsOneStableSort)
{
    std::mt19937 random(20261208);
    const char* const stems[] = {"Martin Oakes ", "martin oakes ", "MARTIN OAKES ", "Émile Dupré ",
                                 "emile dupre ",  "Борис Иванов ", "Zoë ",          ""};
    std::vector<QByteArray> names;
    for (int i = 0; i < 30000; ++i)
        names.push_back(QByteArray(stems[random() % std::size(stems)]) + QByteArray::number(int(random() % 300)));
    const auto textOf = [&names](size_t row) { return QByteArrayView(names[row]); };
    const std::function<int(uint32_t, uint32_t)> byNoCase = [&names](uint32_t a, uint32_t b) {
        return asciiNoCase(names[a], names[b]);
    };
    const CollationPrefixMaker maker;
    std::vector<CollationPrefix> prefixes;
    for (const QByteArray& name : names)
        prefixes.push_back(maker.of(name));
    for (const bool descending : {false, true}) {
        for (const auto& tieBreak : {byNoCase, std::function<int(uint32_t, uint32_t)>()}) {
            std::vector<uint32_t> order(names.size());
            std::iota(order.begin(), order.end(), 0u);
            std::vector<uint32_t> expected = order;
            collationSort(order, textOf, descending, tieBreak);
            std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
                const int c = compareNoCase(names[a].constData(), static_cast<int>(names[a].size()),
                                            names[b].constData(), static_cast<int>(names[b].size()));
                if (c != 0)
                    return descending ? c > 0 : c < 0;
                return tieBreak && tieBreak(a, b) < 0;
            });
            EXPECT_EQ(order, expected) << (descending ? "descending" : "ascending")
                                       << (tieBreak ? ", with a tie-break" : ", without");
            std::vector<uint32_t> stepped(names.size());
            std::iota(stepped.begin(), stepped.end(), 0u);
            sortByPrefixesOnly(stepped, prefixes, descending);
            for (size_t from = 0; from < stepped.size();) {
                const size_t to = std::min(stepped.size(), from + 1 + random() % 700);
                from = settleTies(stepped, from, to, prefixes, textOf, descending, tieBreak);
            }
            EXPECT_EQ(stepped, expected) << "in two steps, " << (descending ? "descending" : "ascending")
                                         << (tieBreak ? ", with a tie-break" : ", without");
        }
    }
}
