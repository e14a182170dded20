#include <gtest/gtest.h>

#include <random>

#include "datafile.h"
#include "exchange/cardfields.h"
#include "exchange/vcardreader.h"
#include "exchange/vcardsyntax.h"
#include "model/storeddate.h"

namespace {

using contact::Field;

struct ReadingCase {
    const char* label;
    QByteArray file;
    // The fields the one card gives; the name is "X" unless it says otherwise.
    Contact expected;
};

void PrintTo(const ReadingCase& row, std::ostream* out)
{
    *out << row.label;
}

Contact named(Contact values)
{
    if (values[Field::Name].isEmpty())
        values[Field::Name] = QStringLiteral("X");
    return values;
}

std::vector<ReadingCase> readingCases()
{
    const QString born = formatStoredDate(QDate(1985, 3, 14));
    const auto bday = [&born](const char* label, const char* version, const char* line) {
        return ReadingCase{label, card(version, {"FN:X", line}), contactWith({{Field::DateOfBirth, born}})};
    };
    return {
        {"foldedWithSpaceAndTab", card("3.0", {"FN:Ann", " a Lee", "NOTE:abc", " def", "\t ghi"}),
         contactWith({{Field::Name, "Anna Lee"}, {Field::Remark, "abcdef ghi"}})},
        {"lfLineEnds", "BEGIN:VCARD\nVERSION:3.0\nFN:Bo L\n ee\nTEL;TYPE=cell:1\nEND:VCARD\n",
         contactWith({{Field::Name, "Bo Lee"}, {Field::Mobile1, "1"}})},
        {"byteOrderMark", "\xEF\xBB\xBF" + card("4.0", {"FN:Bom", "EMAIL:b@x"}),
         contactWith({{Field::Name, "Bom"}, {Field::Email, "b@x"}})},
        {"quotedPrintableSoftBreaks",
         card("2.1", {"FN:X", "NOTE;ENCODING=QUOTED-PRINTABLE:first=20=", "second=0D=0At=", "hird"}),
         contactWith({{Field::Remark, "first second\nthird"}})},
        // Windows programs label their code page as Latin-1; the quotes only exist in the former.
        {"latin1ReadAsWindows1252",
         card("2.1", {"FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Ren=E9 M=FCller",
                      "NOTE;CHARSET=ISO-8859-1:\x93quoted\x94"}),
         contactWith({{Field::Name, "René Müller"}, {Field::Remark, "“quoted”"}})},
        {"windows1252",
         card("2.1",
              {"FN:X", "NOTE;CHARSET=Windows-1252;QUOTED-PRINTABLE:=80 5", "TITLE;CHARSET=windows-1252:Caf\xE9"}),
         contactWith({{Field::Remark, "€ 5\n\nTitle: Café"}})},
        // Seven-bit bytes that are no ASCII text.
        {"isoJapaneseCharset", card("2.1", {"FN:X", "NOTE;CHARSET=ISO-2022-JP:\x1b$B$3$s$K$A$O\x1b(B"}),
         contactWith({{Field::Remark, "こんにちは"}})},
        {"eightBitWithoutCharset", card("2.1", {"FN:Ren\xE9", "NOTE;ENCODING=QUOTED-PRINTABLE:=93q=94"}),
         contactWith({{Field::Name, "René"}, {Field::Remark, "“q”"}})},
        // After a soft line break, a line only starts a property when it is
        // written as writers write names.
        {"quotedPrintableTextThatLooksLikeAProperty",
         card("2.1", {"FN:X", "NOTE;ENCODING=QUOTED-PRINTABLE:call anytime=", "Tel; 555 0100 ask for Bo"}),
         contactWith({{Field::Remark, "call anytimeTel; 555 0100 ask for Bo"}})},
        // Names are names in any letter case, the end of the card too.
        {"quotedPrintableSoftBreakBeforeALowerCaseEnd",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:X\r\nNOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\nend:vcard\r\n",
         contactWith({{Field::Remark, "abc"}})},
        {"eightBitLineThatIsNoProperty", card("2.1", {"FN:X", "Caf\xE9 au lait"}),
         contactWith({{Field::Remark, "Unreadable line: Café au lait"}})},
        {"escapes", card("3.0", {"FN:Doe\\, John\\; Jr", "NOTE:a\\,b\\;c\\nd\\\\e\\Nf"}),
         contactWith({{Field::Name, "Doe, John; Jr"}, {Field::Remark, "a,b;c\nd\\e\nf"}})},
        {"groupsWithAppleLabels",
         card("3.0", {"FN:X", "item1.TEL:111", "item1.X-ABLabel:_$!<Mobile>!$_", "item2.TEL:222",
                      "ITEM2.X-ABLabel:_$!<WorkFAX>!$_", "item3.TEL:333", "item3.X-ABLabel:Boat"}),
         contactWith({{Field::Mobile1, "111"}, {Field::Fax1, "222"}, {Field::Remark, "Phone (Boat): 333"}})},
        {"bareParameters", card("2.1", {"FN:X", "TEL;WORK;VOICE:1", "TEL;HOME;FAX:2", "TEL;HOME:3"}),
         contactWith({{Field::Work1, "1"}, {Field::Fax1, "2"}, {Field::Home1, "3"}})},
        {"typeLists", card("3.0", {"FN:X", "TEL;TYPE=work,voice:1", "TEL;TYPE=\"work,voice\":2", "TEL;TYPE=HOME:3"}),
         contactWith({{Field::Work1, "1"}, {Field::Work2, "2"}, {Field::Home1, "3"}})},
        {"repeatedTypeAndQuotes", card("4.0", {"FN:X", "TEL;TYPE=work;TYPE=fax:1", "TEL;TYPE=\"cell\":2"}),
         contactWith({{Field::Mobile1, "2"}, {Field::Fax1, "1"}})},
        {"telUri", card("4.0", {"FN:X", "TEL;VALUE=uri;TYPE=cell:tel:+1-555-0100", "TEL;VALUE=text:tel:kept"}),
         contactWith({{Field::Mobile1, "+1-555-0100"}, {Field::Mobile2, "tel:kept"}})},
        bday("birthdayBasic", "4.0", "BDAY:19850314"),
        bday("birthdayExtended", "3.0", "BDAY:1985-03-14"),
        bday("birthdayWithTime", "3.0", "BDAY:1985-03-14T00:00:00Z"),
        {"birthdayWithoutYear", card("4.0", {"FN:X", "BDAY:--0314"}),
         contactWith({{Field::Remark, "Birthday: --03-14"}})},
        {"birthdayAsText", card("4.0", {"FN:X", "BDAY;VALUE=text:circa 1800"}),
         contactWith({{Field::Remark, "Birthday: circa 1800"}})},
        {"impossibleBirthday", card("3.0", {"FN:X", "BDAY:1985-02-30"}),
         contactWith({{Field::Remark, "Birthday: 1985-02-30"}})},
        // A typed number never takes another kind's slot; an untyped one takes the first free.
        {"morePhonesThanSlots", card("3.0", {"FN:X", "TEL;TYPE=cell:1", "TEL;TYPE=cell:2", "TEL;TYPE=cell:3", "TEL:4"}),
         contactWith({{Field::Mobile1, "1"},
                      {Field::Mobile2, "2"},
                      {Field::Work1, "4"},
                      {Field::Remark, "Phone (mobile): 3"}})},
        // Untyped numbers take only the slots the typed ones leave.
        {"typedNumberAfterUntypedOnes", card("3.0", {"FN:X", "TEL:1", "TEL:4", "TEL;TYPE=CELL:5"}),
         contactWith({{Field::Mobile1, "5"}, {Field::Mobile2, "1"}, {Field::Work1, "4"}})},
        // What has no field, beside the fields, as phones and servers write it.
        {"addressAndOrganizationAfterTheNote",
         card("3.0", {"FN:X", "TEL;TYPE=cell:1", "NOTE:hi", "ADR;TYPE=home:;;5 Main St;Springfield;;12345;USA",
                      "ORG:Acme\\, Inc.;Sales", "UID:u-1"}),
         contactWith({{Field::Mobile1, "1"},
                      {Field::Remark, "hi\n\nAddress (home): 5 Main St, Springfield, 12345, USA\n"
                                      "Organization: Acme, Inc., Sales"}})},
        {"linesForEachCategoryAndNoneForTheKind",
         card("4.0", {"FN:X", "KIND:individual", "CATEGORIES:a,b", "X-ABSHOWAS:PERSON"}),
         contactWith({{Field::Remark, "Category: a\nCategory: b"}})},
        {"aLowerCaseNoteIsStillTheNote", card("3.0", {"FN:X", "note:n", "TITLE:Boss"}),
         contactWith({{Field::Remark, "n\n\nTitle: Boss"}})},
        {"nineUntypedNumbers",
         card("3.0", {"FN:X", "TEL:1", "TEL:2", "TEL:3", "TEL:4", "TEL:5", "TEL:6", "TEL:7", "TEL:8", "TEL:9"}),
         Contact{"X", "", "1", "2", "3", "4", "5", "6", "7", "8", "", "", "Phone: 9"}},
    };
}

class CardReading : public testing::TestWithParam<ReadingCase> {};

// The import takes cards it wrote itself through a faster mapper of its own;
// both roads must end at the same fields.
TEST_P(CardReading, GivesTheSameFieldsThroughTheMapperAndTheImport)
{
    const ReadingCase& row = GetParam();
    const Contact expected = named(row.expected);

    const VCardReadResult read = VCardReader::read(row.file);
    ASSERT_TRUE(read.ok()) << read.errorLine << ": " << read.error.toStdString();
    ASSERT_EQ(read.cards.size(), 1);
    expectSameFields(ContactMapper().fromCard(read.cards.front()).contact, expected, "mapper");

    DataFile data;
    const VCardImportResult result = data.import(QStringLiteral("card.vcf"), row.file);
    EXPECT_EQ(result.added, 1) << summaryLine(result).toStdString();
    EXPECT_EQ(result.keptInRemarks, expected[Field::Remark].contains(u':') ? 1 : 0);
    const std::vector<Contact> stored = data.contacts();
    ASSERT_EQ(stored.size(), 1u);
    expectSameFields(stored.front(), expected, "import");
}

INSTANTIATE_TEST_SUITE_P(Exchange, CardReading, testing::ValuesIn(readingCases()),
                         [](const auto& test) { return std::string(test.param.label); });

} // namespace

// The UTF-8 check takes sixteen bytes at a time: sequences across and at the
// edges of those blocks, broken and overlong ones, surrogates and too-large
// code points, at every alignment, judged as Qt's own check judges them.
TEST(VCardText, Utf8CheckAgreesWithQtsAcrossBlockEdges)
{
    // Letters first, then broken, overlong, surrogate and too-large sequences.
    const QList<QByteArray> pieces =
        QByteArray("a|bc|é|д|王|😀|\x80|\xC0\x80|\xC1|\xDF|\xC2|\xBF|\xF0\x9F|"
                   "\xE2\x82|\xED\xA0\x80|\xE0\x80\x80|\xF4\x90\x80\x80|\xFF|abcdefghijklmnop")
            .split('|');
    std::mt19937 random(20261208);
    int valid = 0;
    for (int i = 0; i < 100000; ++i) {
        QByteArray text = QByteArray(static_cast<int>(random() % 16), 'x');
        const qsizetype offset = text.size();
        for (int n = static_cast<int>(random() % 40); n > 0; --n)
            text += pieces[random() % 3 != 0 ? random() % 6 : random() % pieces.size()];
        const QByteArrayView view = QByteArrayView(text).sliced(offset);
        valid += view.isValidUtf8();
        ASSERT_EQ(vcardsyntax::isValidUtf8(view), view.isValidUtf8()) << text.sliced(offset).toHex(' ').toStdString();
    }
    EXPECT_GT(valid, 10000);
}
