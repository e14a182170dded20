#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include "datafile.h"
#include "exchange/utf8rows.h"
#include "exchange/vcardexport.h"
#include "store/contactwrites.h"
#include "store/keptcards.h"

namespace {

using contact::Field;

// A card's properties as python3-vobject reads them (cardproperties.py says
// how versions are made comparable), by the card's FN.
using CardsByName = std::map<QString, QStringList>;

std::vector<CardsByName> propertiesOf(const QStringList& paths)
{
    const QString python = systemTool(QStringLiteral("python3"));
    EXPECT_FALSE(python.isEmpty()) << "python3 is not installed";
    QProcess process;
    process.start(python,
                  QStringList{QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/cardproperties.py")} +
                      paths);
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::vector<CardsByName> files;
    for (const QJsonValue& file : QJsonDocument::fromJson(process.readAllStandardOutput()).array()) {
        CardsByName cards;
        for (const QJsonValue& card : file.toArray()) {
            QStringList properties;
            QString name;
            for (const QJsonValue& property : card.toArray()) {
                properties << property.toString();
                if (properties.last().startsWith(QStringLiteral("FN:")))
                    name = properties.last().mid(3);
            }
            // A card without a name is not imported.
            if (!name.trimmed().isEmpty())
                cards[name] = properties;
        }
        files.push_back(cards);
    }
    return files;
}

// A UID that a card did not have is the one export made for its contact.
QStringList withoutMadeUid(QStringList exported, const QStringList& original)
{
    const auto isUid = [](const QString& property) { return property.startsWith(QStringLiteral("UID:")); };
    if (std::none_of(original.begin(), original.end(), isUid)) {
        const qsizetype made = std::count_if(exported.begin(), exported.end(), isUid);
        EXPECT_EQ(made, 1) << "every exported card has one UID";
        exported.removeIf(isUid);
    }
    return exported;
}

QByteArray exported(DataFile& data, const QString& name, VCardVersion version)
{
    const QString path = data.write(name, {});
    exportAllVCards(data.connection, path, version);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

struct Trip {
    const char* sample;
    VCardVersion version;
    // vobject reads the sample itself: 2.1's quoted-printable soft line
    // breaks and unfolded base64 are beyond it.
    bool independent;
};

class KeptCardTrip : public testing::TestWithParam<Trip> {};

// Import then export: the card comes back with every property it had, as an
// independent parser reads it; importing that export gives the same fields,
// and exporting those again the very same text.
TEST_P(KeptCardTrip, ACardGoesOutWithEverythingItHad)
{
    const Trip trip = GetParam();
    DataFile first;
    ASSERT_TRUE(first.import(QString::fromUtf8(trip.sample), sampleFile(trip.sample)).imported);
    const QByteArray out = exported(first, QStringLiteral("out.vcf"), trip.version);
    // 4.0 writes a whole date in ISO 8601's basic form only.
    if (trip.version == VCardVersion::V40) {
        static const QRegularExpression extendedDate(
            QStringLiteral("^(\\w+\\.)?(BDAY|ANNIVERSARY|DEATHDATE)(;[^:\\n]*)?:\\d{4}-\\d{2}-\\d{2}"),
            QRegularExpression::MultilineOption);
        EXPECT_FALSE(extendedDate.match(QString::fromUtf8(out)).hasMatch()) << out.toStdString();
    }

    if (trip.independent) {
        const QString in = first.write(QStringLiteral("in.vcf"), sampleFile(trip.sample));
        const std::vector<CardsByName> read = propertiesOf({in, first.write(QStringLiteral("out.vcf"), out)});
        ASSERT_EQ(read.size(), 2u);
        const CardsByName& original = read[0];
        const CardsByName& back = read[1];
        ASSERT_EQ(back.size(), original.size());
        for (const auto& [name, properties] : original) {
            ASSERT_TRUE(back.count(name)) << name.toStdString();
            EXPECT_EQ(withoutMadeUid(back.at(name), properties), properties) << name.toStdString();
        }
    }

    DataFile second;
    ASSERT_TRUE(second.import(QStringLiteral("out.vcf"), out).imported);
    // The export went out in name order.
    const auto byFields = [](std::vector<Contact> contacts) {
        std::sort(contacts.begin(), contacts.end(), [](const Contact& a, const Contact& b) {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
        });
        return contacts;
    };
    const std::vector<Contact> before = byFields(first.contacts());
    const std::vector<Contact> after = byFields(second.contacts());
    ASSERT_EQ(after.size(), before.size());
    for (size_t row = 0; row < before.size(); ++row)
        expectSameFields(after[row], before[row], trip.sample);
    EXPECT_EQ(exported(second, QStringLiteral("again.vcf"), trip.version).toStdString(), out.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, KeptCardTrip,
    testing::Values(Trip{"apple-addressbook-3.0.vcf", VCardVersion::V30, true},
                    Trip{"apple-addressbook-3.0.vcf", VCardVersion::V40, true},
                    Trip{"apple-macos-3.0.vcf", VCardVersion::V30, true},
                    Trip{"apple-macos-3.0.vcf", VCardVersion::V40, true},
                    Trip{"evolution-3.0.vcf", VCardVersion::V30, true}, Trip{"evolution-3.0.vcf", VCardVersion::V40, true},
                    Trip{"evolution-multi-3.0.vcf", VCardVersion::V40, true},
                    Trip{"gmail-3.0.vcf", VCardVersion::V30, true}, Trip{"gmail-3.0.vcf", VCardVersion::V40, true},
                    Trip{"android-2.1-cardme.vcf", VCardVersion::V40, false},
                    Trip{"outlook2003-2.1.vcf", VCardVersion::V30, false}),
    [](const auto& test) {
        QString name = QString::fromUtf8(test.param.sample).section(u'-', 0, 1) +
                       (test.param.version == VCardVersion::V30 ? QStringLiteral("_to3") : QStringLiteral("_to4"));
        name.replace(u'.', u'_').replace(u'-', u'_');
        return name.toStdString();
    });

} // namespace

namespace {

// A person's card and a company's, as phones write them.
QByteArray phoneExport()
{
    return card("3.0", {"FN:Anna Berg", "N:Berg;Anna;;;", "TEL;TYPE=CELL:+49 170 1", "TEL;TYPE=WORK:+49 30 2",
                        "EMAIL;TYPE=INTERNET:anna@example.com",
                        "item1.ADR;TYPE=HOME:;;Kastanienallee 5;Berlin;;10435;Deutschland",
                        "item1.X-ABLabel:_$!<Home>!$_", "ORG:Blue Sky;Sales", "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ",
                        "X-CUSTOM;X-P=1:kept", "UID:anna-1"}) +
           card("3.0", {"FN:Bäckerei Schulz", "N:;;;;", "ORG:Bäckerei Schulz", "X-ABShowAs:COMPANY",
                        "TEL;TYPE=WORK:030 1", "UID:shop-1"});
}

struct Edit {
    const char* what;
    const char* name;
    // The assignments of an UPDATE of that contact's row.
    const char* change;
    // The card's properties, as cardproperties.py writes them, that the
    // export no longer has and those it has instead.
    QStringList gone;
    QStringList added;
};

// A field the user changed replaces its property's value and keeps its
// parameters; one cleared takes its property away; an edited remark line
// changes the value of the property it came from; a new name gets a new N,
// unless the card is a company's, which stays one. Nothing else of the card
// changes.
TEST(KeptCardEdits, TheExportFollowsWhatTheUserChanged)
{
    const QString namesN = QStringLiteral(R"(N:{"additional": "", "family": "%1", "given": "%2", "prefix": "", "suffix": ""})");
    const Edit edits[] = {
        {"a phone", "Anna Berg", "Mobile1 = '+49 170 9'", {"TEL;TYPE=cell:+49 170 1"}, {"TEL;TYPE=cell:+49 170 9"}},
        {"an e-mail cleared", "Anna Berg", "Email = ''", {"EMAIL;TYPE=internet:anna@example.com"}, {}},
        {"an address line",
         "Anna Berg",
         "Remark = replace(Remark, 'Kastanienallee 5', 'Kastanienallee 7')",
         {R"(item1.ADR;TYPE=home:{"box": "", "city": "Berlin", "code": "10435", "country": "Deutschland", "extended": "", "region": "", "street": "Kastanienallee 5"})"},
         {R"(item1.ADR;TYPE=home:{"box": "", "city": "Berlin", "code": "10435", "country": "Deutschland", "extended": "", "region": "", "street": "Kastanienallee 7"})"}},
        {"a person renamed",
         "Anna Berg",
         "ContactName = 'Anna Lindqvist'",
         {"FN:Anna Berg", namesN.arg("Berg", "Anna")},
         {"FN:Anna Lindqvist", namesN.arg("Lindqvist", "Anna")}},
        {"a company renamed",
         "Bäckerei Schulz",
         "ContactName = 'Bäckerei Schulz & Söhne'",
         {"FN:Bäckerei Schulz"},
         {"FN:Bäckerei Schulz & Söhne"}},
    };
    for (const Edit& edit : edits) {
        DataFile data;
        ASSERT_TRUE(data.import(QStringLiteral("phone.vcf"), phoneExport()).imported);
        data.connection.execute(QStringLiteral("update tblContact set %1 where ContactName = '%2'")
                                    .arg(QString::fromUtf8(edit.change), QString::fromUtf8(edit.name)));
        const QString in = data.write(QStringLiteral("in.vcf"), phoneExport());
        const QString out = data.write(QStringLiteral("out.vcf"), exported(data, QStringLiteral("out.vcf"), VCardVersion::V30));
        const std::vector<CardsByName> read = propertiesOf({in, out});
        ASSERT_EQ(read.size(), 2u) << edit.what;
        QStringList expected = read[0].at(QString::fromUtf8(edit.name));
        for (const QString& property : edit.gone)
            EXPECT_TRUE(expected.removeOne(property)) << edit.what << ": " << property.toStdString();
        expected += edit.added;
        expected.sort();
        const QString newName = edit.added.isEmpty() || !edit.added.first().startsWith(QStringLiteral("FN:"))
                                    ? QString::fromUtf8(edit.name)
                                    : edit.added.first().mid(3);
        ASSERT_TRUE(read[1].count(newName)) << edit.what;
        EXPECT_EQ(read[1].at(newName), expected) << edit.what;
    }
}

} // namespace

// The import makes a kept card's fingerprint on whichever thread has the time
// for it; either way it must be that of the fields as they were stored, or
// the export takes an unchanged card for an edited one.
TEST(KeptCardImport, EveryCardKeepsTheFingerprintOfItsStoredFields)
{
    DataFile data;
    const int count = 3000;
    QByteArray file;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        file +=
            card("3.0", {("FN:Person " + n).constData(), ("ORG:Firm " + n).constData(), ("UID:u-" + n).constData()});
    }
    ASSERT_EQ(data.import(QStringLiteral("many.vcf"), file).added, count);
    const std::vector<Contact> stored = data.contacts();
    std::vector<quint64> fingerprints;
    keptcards::forEach(data.connection,
                       [&](const keptcards::KeptCard& kept) { fingerprints.push_back(kept.fingerprint); });
    ASSERT_EQ(fingerprints.size(), stored.size());
    for (size_t row = 0; row < stored.size(); ++row)
        ASSERT_EQ(fingerprints[row], keptcards::fingerprintOf(ContactUtf8(stored[row]).values)) << "row " << row;
}

// Stored fingerprints outlive the program that made them, so the hash is
// pinned; the export makes many at once, lanes side by side, and must make
// each exactly as one at a time does, whatever the rows' lengths and count.
TEST(KeptCardFingerprint, ManyAtOnceAreEachAsOneAtATime)
{
    keptcards::Fields anna{};
    anna[0] = "Anna";
    EXPECT_EQ(keptcards::fingerprintOf(anna), 1686807454493719456ull);

    std::vector<QByteArray> texts;
    for (int row = 0; row < 11; ++row)
        texts.push_back(QByteArray(row * 37 % 200, static_cast<char>('a' + row)) + QByteArray::number(row));
    std::vector<keptcards::Fields> rows;
    for (int row = 0; row < 11; ++row) {
        keptcards::Fields fields{};
        // Empty fields, text moved between fields, and one long remark.
        fields[static_cast<size_t>(row % contact::kFieldCount)] = texts[static_cast<size_t>(row)];
        fields[contact::kFieldCount - 1] = row == 6 ? QByteArrayView(texts[10]) : QByteArrayView();
        rows.push_back(fields);
    }
    for (size_t count = 0; count <= rows.size(); ++count) {
        std::vector<quint64> many(count, 0);
        keptcards::fingerprintsOf(std::span(rows).first(count), many);
        for (size_t row = 0; row < count; ++row)
            ASSERT_EQ(many[row], keptcards::fingerprintOf(rows[row])) << count << " rows, row " << row;
    }
}
