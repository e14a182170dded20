#include <cctype>

#include <gtest/gtest.h>

#include "datafile.h"
#include "model/storeddate.h"

namespace {

using contact::Field;

// One stored row of a sample file's import, with every field it should hold.
struct SampleRow {
    size_t row;
    QString name;
    QDate born;
    // The eight phone slots in table order, split at '|'.
    QString phones;
    QString email;
    QString website;
    // Exact, or pieces split at "…" that must appear in order, the first at
    // the start and the last at the end: some remarks are pages long.
    QString remark;
};

struct SampleFile {
    const char* file;
    size_t stored;
    QString summary;
    std::vector<SampleRow> rows;
};

std::vector<SampleFile> sampleFiles()
{
    const QString n14(14, QChar(0xD1)), n12(12, QChar(0xD1)), n44(44, QChar(0xD1));
    const QString longNote = QStringLiteral("Ñ Ñ Ñ Ñ Ñ Ñ Ñ ÑÑ Ñ Ñ Ñ Ñ Ñ Ñ ÑÑ Ñ Ñ Ñ Ñ ");
    return {
        {"android-2.1-cardme.vcf",
         4,
         "4 added, 2 without a name skipped, 4 kept partly in the remarks, 1 with characters that could not be read",
         {{0, "Ñ Ñ Ñ Ñ Ñ ", {}, "123456789|||||||", "", "", "Category: My Contacts"},
          {1,
           "Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ",
           {},
           "123456|3456789|||||234567|45678901",
           "",
           "",
           longNote + '\n' + longNote + "\n\nCategory: My Contacts"},
          {2,
           "Ñ Ñ Ñ Ñ ",
           {},
           "123456||123456||123456|||",
           "bob@company.com",
           "www.comapny.com",
           "E-mail: " + n14 + "\nOrganization: " + n12 + "\nOrganization: " + n12 +
               "\nWebsite: http://www.company.com"},
          // The one byte that is not UTF-8 (=80) is replaced, not dropped.
          {3,
           "ÑÑÑÑ",
           {},
           "55556666|||||||",
           "henry@company.com",
           "",
           "Organization: " + n44 + "\nOrganization: " + n44 + QChar(0xFFFD) + "\nOrganization: " + n44 +
               "\nCategory: My Contacts"}}},
        {"evolution-3.0.vcf",
         1,
         "1 added, 1 kept partly in the remarks",
         {{0, "Mr. John Richter, James Doe Sr.", QDate(1980, 3, 22), "905-666-1234||905-555-1234|||||",
           "john.doe@ibm.com", "http://www.ibm.com",
           "THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS \"AS IS\" AND ANY EXPRESS OR IMPLIED "
           "WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE IMPLIED…SERVICES; LOSS OF USE, DATA, OR PROFITS; OR "
           "BUSINESS INTERRUPTION)…SUCH DAMAGE.\n\nInstant messaging (AIM): johnny5@aol.com\nNickname: Johny\n"
           "Spouse: Maria\nOrganization: IBM, Accounting, Dungeon\nTitle: Money Counter\nManager: Big Blue\n"
           "Assistant: Little Red\nCategory: VIP\nAddress (home): ASB-123, 15 Crescent moon drive, Albaney, "
           "New York, 12345, United States of America\nAnniversary: 1980-03-22"}}},
        // The typed numbers take their slots; the two untyped ones fill free slots after them.
        {"gmail-3.0.vcf",
         1,
         "1 added, 1 kept partly in the remarks",
         {{0, "VCard Test", QDate(1912, 6, 23),
           "5555551115|5555551111|5555551113|5555551114|5555551117|5555551118|5555551112|", "email@example.com",
           "http://www.example1.com",
           "note line 1\nnote line 2\nCustomField: field value\n\nNickname: TheNickname\n"
           "Phonetic first name: ThePhoneticFirstName\n…\nE-mail (CustomEmailCategory): customcategory@example.com\n"
           "Instant messaging (Google Talk): IM2\n…\nPhone (main): 5555551116\n"
           "Phone (GRAND_CENTRAL): 5555551119\nPhone (pager): 5555551120\n…\nWebsite (home page): "
           "http://www.example4.com\n…\nAnniversary: 1930-03-20\n…\nRelated (spouse): Name2\n…"
           "\nRelated (CustomRelationCategory): Name16"}}},
        {"apple-addressbook-3.0.vcf",
         1,
         "1 added, 1 kept partly in the remarks",
         {{0,
           "Martin Smith",
           {},
           "|||||||",
           "martin.smith@rocket-partner.com",
           "",
           "Organization: Rocket & Partner\nAddress (work): 6 Valleydrive, Huntsville\n"
           "Related (assistant): Simona Forest\nCategory: cardme"}}},
        {"apple-macos-3.0.vcf",
         1,
         "1 added, 1 kept partly in the remarks",
         {{0,
           "Amelie Alpha",
           {},
           "5551001001|||||||",
           "amelie.alpha@example.com",
           "",
           "Organization: VCardImport Tests\nTitle: Test Subject"}}},
        // Outlook repeats each address as a LABEL; the ADR line already keeps it.
        {"outlook2003-2.1.vcf",
         1,
         "1 added, 1 kept partly in the remarks",
         {{0, "Antoni Jozef Mylka jun.", QDate(1980, 1, 18), "48 91 3 175 234||49 631 234 341||||48 691 342 341|",
           "antoni_mylka@somedomain.com", "http://antoni.mylka.com",
           "These are some notes about antoni.\n\n\nStructured name: Herr Antoni Jozef Mylka jun.\nNickname: Ant\n"
           "Organization: DFKI, Knowledge-Management\nTitle: Intern\nAddress (work): 3.10, Trippstadter Str. 122, "
           "Kaiserslautern, Rheinland-Pfalz, 67663, Deutschland\nAddress (home): Budryka 2/1110, Krakow, "
           "malopolskie, 30-072, Polen\nRole: Software-Developer"}}},
        // N and X-EVOLUTION-FILE-AS agree with FN, so nothing is kept in the remarks.
        {"evolution-multi-3.0.vcf",
         17,
         "17 added",
         {{8, "Seasia IT Team", {}, "|||||||", "seasiaitteam@gmail.com", "", ""},
          {16, "Devi Lal Verma", {}, "|||||||", "dlverma@gmail.com", "", ""}}},
    };
}

void PrintTo(const SampleFile& sample, std::ostream* out)
{
    *out << sample.file;
}

void expectRemark(const QString& actual, const QString& pattern)
{
    const QStringList pieces = pattern.split(QChar(0x2026));
    if (pieces.size() == 1) {
        EXPECT_EQ(actual, pattern);
        return;
    }
    EXPECT_TRUE(actual.startsWith(pieces.first()) && actual.endsWith(pieces.last())) << actual.toStdString();
    qsizetype at = 0;
    for (const QString& piece : pieces) {
        const qsizetype found = actual.indexOf(piece, at);
        EXPECT_GE(found, 0) << "missing in order: " << piece.toStdString();
        at = found < 0 ? at : found + piece.size();
    }
}

class SampleFiles : public testing::TestWithParam<SampleFile> {};

TEST_P(SampleFiles, ImportFieldByField)
{
    const SampleFile& sample = GetParam();
    DataFile data;
    const VCardImportResult result = data.import(QString::fromUtf8(sample.file), sampleFile(sample.file));
    EXPECT_EQ(summaryLine(result), QString::fromUtf8(sample.file) + QStringLiteral(": ") + sample.summary);
    const std::vector<Contact> stored = data.contacts();
    ASSERT_EQ(stored.size(), sample.stored);
    for (const SampleRow& row : sample.rows) {
        const Contact& actual = stored.at(row.row);
        const std::string where = std::string(sample.file) + " row " + std::to_string(row.row);
        Contact expected;
        expected[Field::Name] = row.name;
        expected[Field::DateOfBirth] = row.born.isValid() ? formatStoredDate(row.born) : QString();
        const QStringList phones = row.phones.split(u'|');
        size_t slot = 0;
        for (const contact::FieldInfo& field : contact::fields()) {
            if (field.phoneKind)
                expected[field.field] = phones.at(static_cast<qsizetype>(slot++));
        }
        expected[Field::Email] = row.email;
        expected[Field::Website] = row.website;
        expected[Field::Remark] = actual[Field::Remark];
        expectSameFields(actual, expected, where);
        SCOPED_TRACE(where);
        expectRemark(actual[Field::Remark], row.remark);
    }
}

INSTANTIATE_TEST_SUITE_P(Exchange, SampleFiles, testing::ValuesIn(sampleFiles()), [](const auto& test) {
    std::string name = test.param.file;
    for (char& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

} // namespace
