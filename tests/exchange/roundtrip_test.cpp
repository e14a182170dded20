#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "datafile.h"
#include "exchange/vcardexport.h"
#include "exchange/vcardreader.h"
#include "model/storeddate.h"
#include "store/collationsort.h"
#include "store/textrules.h"

namespace {

using contact::Field;

const VCardVersion kVersions[] = {VCardVersion::V30, VCardVersion::V40};

std::string versionName(VCardVersion version)
{
    return version == VCardVersion::V30 ? "3.0" : "4.0";
}

// Every field filled somewhere, and the characters that writers and readers
// get wrong: quotes, vCard separators, backslashes, line breaks, text outside
// the BMP, and gaps in the phone slots.
std::vector<Contact> awkwardContacts()
{
    return {
        {"Seán O'Brien", formatStoredDate(QDate(1970, 1, 31)), "+353 87 1", "+353 87 2", "01 234", "01 235", "01 236",
         "01 237", "01 238", "01 239", "sean.o'brien@example.ie", "https://x.ie/a?b=c,d;e",
         "Met at the pub.\r\nOwes me £5; maybe €6,\nback\\slash\rend"},
        {"Пётр Чайковский 🎻", "circa 1840", "", "+7 495 1", "", "", "", "w;f2", "", "tel:+7-2", "", "",
         "Композитор 🎼\r\n\r\nafter a blank line\n"},
        {"Zoë \"Z\" Ltd, Inc; \\ back"},
        {"Dana O'Neil", "", "", "", "1", "", "", "", "", "", "", "",
         "Met at a fair\n\nOrganization: Acme, Inc\nTitle: CEO"},
        // Read back, the line would fill the empty work slot, so it has to stay a note.
        {"Eve Stay", "", "", "", "", "", "", "", "", "", "", "", "Phone (work): 555"},
        // The editor's Update makes names that differ in letter case only, or not at all.
        {"SEÁN O'BRIEN", "", "1"},
        {"Seán O'Brien", "", "2"},
        // So many kinds of line breaks that naming them folds the line before its colon.
        {"Fay Breaks", "", "", "", "", "", "", "", "", "", "", "", QStringLiteral("a\r\nb\n").repeated(20)},
    };
}

std::vector<Contact> byName(std::vector<Contact> contacts)
{
    std::sort(contacts.begin(), contacts.end(), [](const Contact& a, const Contact& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    });
    return contacts;
}

TEST(VCardRoundTrip, AnExportImportedIntoAFreshFileGivesBackEveryField)
{
    const std::vector<Contact> contacts = awkwardContacts();
    for (const VCardVersion version : kVersions) {
        DataFile source;
        for (const Contact& c : contacts)
            source.store(c);
        const QString path = source.env.root() + QStringLiteral("/all.vcf");
        ASSERT_EQ(exportAllVCards(source.connection, path, version).written, int(contacts.size()));

        DataFile fresh;
        const VCardImportResult result = importVCardFile(fresh.connection, path);
        EXPECT_EQ(result.added, int(contacts.size())) << summaryLine(result).toStdString();
        const std::vector<Contact> expected = byName(contacts);
        const std::vector<Contact> back = byName(fresh.contacts());
        ASSERT_EQ(back.size(), expected.size());
        for (size_t i = 0; i < back.size(); ++i)
            expectSameFields(back[i], expected[i], versionName(version) + " " + expected[i][Field::Name].toStdString());
    }
}

// Bytes another program stored that are not UTF-8 go out as the list shows
// them, with replacement characters, and the rest of the row as it is: the
// file stays UTF-8 whatever the row holds.
TEST(VCardRoundTrip, BytesThatAreNotUtf8GoOutAsTheListShowsThem)
{
    DataFile data;
    data.store(contactWith({{Field::Name, QStringLiteral("Ana")}}));
    ASSERT_EQ(sqlite3_exec(data.connection.handle(),
                           "update tblContact set ContactName = cast(x'416EE1' as text), "
                           "Email = 'ana@example.com', Remark = cast(x'6F6BC3' as text)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QString path = data.env.root() + QStringLiteral("/bytes.vcf");
    ASSERT_EQ(exportAllVCards(data.connection, path, VCardVersion::V40).written, 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(QByteArrayView(text).isValidUtf8());
    for (const char* line : {"FN:An\xEF\xBF\xBD\r\n", "EMAIL:ana@example.com\r\n", "NOTE:ok\xEF\xBF\xBD\r\n"})
        EXPECT_TRUE(text.contains(line)) << line << " in:\n" << text.toStdString();
}

// A list long enough that reading, writing the cards and sorting the names
// share the work between threads: the cards still come out in the list's
// own order (the collation, then SQLite's NOCASE, then the key).
TEST(VCardRoundTrip, ALongListGoesOutInTheListsOrder)
{
    DataFile data;
    std::mt19937 random(20261208);
    const char* const stems[] = {"Émile ", "emile ", "EMILE ", "Zoë ", "Борис ", "anna ", "Anna ", "王 "};
    std::vector<QByteArray> names;
    data.connection.execute(QStringLiteral("BEGIN"));
    for (int i = 0; i < 2000; ++i) {
        names.push_back(QByteArray(stems[random() % std::size(stems)]) + QByteArray::number(int(random() % 100)));
        data.store(contactWith({{Field::Name, QString::fromUtf8(names.back())}}));
    }
    data.connection.execute(QStringLiteral("COMMIT"));
    std::vector<std::string> expected(names.begin(), names.end());
    std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        const int c = compareNoCase(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
        return c != 0 ? c < 0 : asciiNoCase(QByteArrayView(a), QByteArrayView(b)) < 0;
    });

    // Over a large file of that name, which it replaces whole.
    const QString path = data.write(QStringLiteral("long.vcf"), QByteArray(5 << 20, 'x'));
    ASSERT_EQ(exportAllVCards(data.connection, path, VCardVersion::V40).written, int(names.size()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_FALSE(text.contains("xxx"));
    std::vector<std::string> written;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("FN:"))
            written.push_back(line.sliced(3).chopped(1).toStdString());
    }
    EXPECT_EQ(written, expected);
}

// Inside a transaction the caller began, an export writes what the caller
// sees: connections of its own would see neither the uncommitted rows nor
// may a transaction begin inside that one.
TEST(VCardRoundTrip, AnExportInsideTheCallersTransactionWritesWhatItSees)
{
    DataFile data;
    data.connection.execute(QStringLiteral("BEGIN"));
    for (int i = 0; i < 1500; ++i)
        data.store(contactWith({{Field::Name, QStringLiteral("Person %1").arg(i)}}));
    const QString path = data.write(QStringLiteral("inside.vcf"), {});
    EXPECT_EQ(exportAllVCards(data.connection, path, VCardVersion::V40).written, 1500);
    data.connection.execute(QStringLiteral("COMMIT"));
}

// "Name:text" of every property but the name's.
QStringList propertiesOf(const VCardCard& card)
{
    QStringList lines;
    for (const VCardProperty& property : card.properties) {
        if (property.name != u"FN" && property.name != u"N")
            lines << property.name + u':' + property.text();
    }
    return lines;
}

TEST(VCardRoundTrip, RemarkLinesAnImportAddedGoBackToTheirProperties)
{
    const std::vector<Contact> contacts = awkwardContacts();
    for (const VCardVersion version : kVersions) {
        const VCardReadResult read = VCardReader::read(vcardText({contacts[3], contacts[4]}, version));
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        ASSERT_EQ(read.cards.size(), 2);
        EXPECT_EQ(propertiesOf(read.cards[0]),
                  QStringList({"TEL:1", "ORG:Acme, Inc", "TITLE:CEO", "NOTE:Met at a fair"}))
            << versionName(version);
        EXPECT_EQ(propertiesOf(read.cards[1]), QStringList({"NOTE:Phone (work): 555"})) << versionName(version);
    }
}

// Prints what vobject reads of each card as JSON.
const char kVobjectDump[] = R"(
import json, sys, vobject
cards = []
with open(sys.argv[1], encoding='utf-8') as f:
    for card in vobject.readComponents(f):
        values = lambda name: [p.value for p in card.contents.get(name, [])]
        cards.append({k: values(k) for k in ('fn', 'tel', 'email', 'note')})
print(json.dumps(cards))
)";

QStringList strings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list << item.toString();
    return list;
}

// An independent reader: Debian's python3-vobject, which the test setup installs.
TEST(VCardRoundTrip, VobjectReadsTheExportAsWritten)
{
    const QString python = systemTool(QStringLiteral("python3"));
    ASSERT_FALSE(python.isEmpty()) << "python3 is not installed";
    const std::vector<Contact> contacts = awkwardContacts();
    for (const VCardVersion version : kVersions) {
        DataFile data;
        const QString path = data.write(QStringLiteral("oracle.vcf"), vcardText(contacts, version));
        QProcess process;
        process.start(python, {QStringLiteral("-c"), QString::fromUtf8(kVobjectDump), path});
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QJsonArray cards = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
        ASSERT_EQ(cards.size(), qsizetype(contacts.size())) << versionName(version);
        for (size_t i = 0; i < contacts.size(); ++i) {
            const Contact& c = contacts[i];
            const QJsonObject card = cards[qsizetype(i)].toObject();
            QStringList phones;
            for (const contact::FieldInfo& field : contact::fields()) {
                if (field.phoneKind && !c[field.field].isEmpty())
                    phones << c[field.field];
            }
            // Dana's import-added lines went out as ORG and TITLE.
            QString note = i == 3 ? QStringLiteral("Met at a fair") : c[Field::Remark];
            // Other programs see every kind of line break as one.
            note.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            const auto listOf = [](const QString& value) {
                return value.isEmpty() ? QStringList() : QStringList{value};
            };
            const std::string where = versionName(version) + " card " + std::to_string(i);
            EXPECT_EQ(strings(card[QStringLiteral("fn")]), QStringList{c[Field::Name]}) << where;
            EXPECT_EQ(strings(card[QStringLiteral("tel")]), phones) << where;
            EXPECT_EQ(strings(card[QStringLiteral("email")]), listOf(c[Field::Email])) << where;
            EXPECT_EQ(strings(card[QStringLiteral("note")]), listOf(note)) << where;
        }
    }
}

} // namespace
