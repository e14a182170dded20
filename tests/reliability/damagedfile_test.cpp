// A damaged or foreign data file is reported once at start, where the
// connection opens, and is left exactly as it was: the user may still get
// their contacts out of it with other tools.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>
#include <random>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "damagedfiles.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "storeprobe.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

namespace {

const int kSoundContacts = 40;

struct StartOutcome {
    bool loaded = false;
    bool ended = false;
    QStringList reports;
    int listedRows = -1;
    bool connectionOpen = false;
    QByteArray digest;
    QStringList sideFiles;
};

Contact soundContact(int i)
{
    Contact values;
    values[contact::Field::Name] = QStringLiteral("Person %1 O'Hara").arg(i, 3, 10, QLatin1Char('0'));
    values[contact::Field::DateOfBirth] = QStringLiteral("%1/%2/19%3")
                                              .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                              .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                              .arg(50 + i);
    for (const contact::FieldInfo& field : contact::fields()) {
        const int c = contact::indexOf(field.field);
        if (c >= contact::indexOf(contact::Field::Mobile1) && c <= contact::indexOf(contact::Field::Website))
            values[field.field] = QStringLiteral("+1 555 %1%2").arg(i).arg(c);
    }
    // Long enough remarks that the table spans a tree of many pages, some of
    // them overflow pages.
    values[contact::Field::Remark] = QString((i * 613) % 6000, QChar(u'é'));
    return values;
}

class DamagedDataFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        env = std::make_unique<TempEnv>();
        ASSERT_TRUE(scratch.isValid());
        env->installDataFile();
        {
            Connection connection;
            connection.open(env->connectionString());
            for (int i = 0; i < kSoundContacts; ++i)
                connection.execute(contact::insertStatement(soundContact(i)));
            soundRows = rowsById(connection);
        }
        QFile file(env->dataFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        sound = file.readAll();

        // A template that says so in the list: a data file replaced by it
        // would show this contact.
        Connection templateConnection;
        templateConnection.open(connectionStringFor(env->templateFile()));
        templateConnection.execute(contact::insertStatement(Contact{QStringLiteral("Template Marker")}));
        templateConnection.close();
        templateDigest = fileDigest(env->templateFile());
    }

    void TearDown() override { env.reset(); }

    StartOutcome startWith(const QByteArray& bytes)
    {
        for (const QString& side : sideFiles(env->dataFile()))
            QFile::remove(side);
        {
            QFile file(env->dataFile());
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(bytes);
        }
        StartOutcome outcome;
        {
            // Each start is a new run of the program with its own messages.
            ScriptedMessages& messages = env->messages();
            messages.clear();
            RecordedEnd& end = env->end();
            end.reset();
            Form1 form(env->session());
            outcome.loaded = form.Form_Load();
            outcome.ended = end.ended();
            outcome.reports = messages.texts();
            outcome.listedRows = form.listModel().rowCount();
            outcome.connectionOpen = env->gConn() && env->gConn()->state() != 0;
            env->gConn().reset();
        }
        outcome.digest = fileDigest(env->dataFile());
        outcome.sideFiles = sideFiles(env->dataFile());
        return outcome;
    }

    // Everything a visibly damaged file must give at start; empty when it did.
    QStringList refusalProblems(const StartOutcome& outcome, const QByteArray& bytes) const
    {
        QStringList problems;
        if (!outcome.loaded || outcome.ended)
            problems << QStringLiteral("start-up ended");
        if (outcome.reports.size() != 2) {
            problems << QStringLiteral("%1 reports: %2")
                            .arg(outcome.reports.size())
                            .arg(outcome.reports.join(QStringLiteral(" | ")));
        } else {
            const QString& first = outcome.reports[0];
            if (!first.contains(QStringLiteral("\r\nin Rondexa2021/08/31.Form1.Form_Load at line 152\r\r")) ||
                !first.contains(env->dataFile()) || !first.contains(QStringLiteral("damaged")))
                problems << QStringLiteral("first report: ") + first;
            if (!outcome.reports[1].contains(
                    QStringLiteral("\r\nin Rondexa2021/08/31.Form1.Form_Load at line 190\r\r")))
                problems << QStringLiteral("second report: ") + outcome.reports[1];
        }
        if (outcome.listedRows != 0)
            problems << QStringLiteral("%1 rows listed").arg(outcome.listedRows);
        if (outcome.connectionOpen)
            problems << QStringLiteral("the connection is open");
        if (outcome.digest != QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
            problems << QStringLiteral("the file changed");
        if (!outcome.sideFiles.isEmpty())
            problems << QStringLiteral("left ") + outcome.sideFiles.join(QLatin1Char(' '));
        return problems;
    }

    std::unique_ptr<TempEnv> env;
    QTemporaryDir scratch;
    QByteArray sound;
    std::vector<StoredRow> soundRows;
    QByteArray templateDigest;
};

QString describe(const std::string& label, const QStringList& problems)
{
    return QString::fromStdString(label) + QStringLiteral(": ") + problems.join(QStringLiteral("; "));
}

} // namespace

TEST_F(DamagedDataFile, EveryVisiblyDamagedVariantIsReportedAtLine152AndLeftAsItWas)
{
    const std::uint64_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (set RELIABILITY_SEED to replay)");
    std::mt19937_64 random(seed);

    std::vector<DamagedVariant> variants = damagedVariants(sound, random);
    for (DamagedVariant& layout : otherLayouts(scratch.path()))
        variants.push_back(std::move(layout));

    int refused = 0;
    QStringList failures;
    QStringList notDamaged;
    std::map<Damage, int> counts;
    for (const DamagedVariant& variant : variants) {
        const Verdict verdict = examine(variant.bytes, scratch.path(), soundRows);
        ++counts[verdict.damage];
        const StartOutcome outcome = startWith(variant.bytes);
        const QByteArray before = QCryptographicHash::hash(variant.bytes, QCryptographicHash::Sha256).toHex();
        if (verdict.damage == Damage::Visible) {
            const QStringList problems = refusalProblems(outcome, variant.bytes);
            if (problems.isEmpty())
                ++refused;
            else
                failures << describe(
                    variant.label, QStringList{QStringLiteral("[") + verdict.detail + QStringLiteral("]")} + problems);
            continue;
        }
        // Damage that SQLite itself cannot see is not counted; such a file
        // still must not crash the program nor be changed by opening it.
        notDamaged << QString::fromStdString(variant.label) + QStringLiteral(" (") +
                          (verdict.damage == Damage::None ? QStringLiteral("same contacts") : verdict.detail) +
                          QStringLiteral(", ") + QString::number(outcome.reports.size()) + QStringLiteral(" reports)");
        if (outcome.digest != before)
            failures << describe(variant.label, {QStringLiteral("a file SQLite finds sound was changed at start")});
        if (verdict.damage == Damage::None && (!outcome.reports.isEmpty() || outcome.listedRows != kSoundContacts))
            failures << describe(variant.label, {QStringLiteral("a sound file was not opened: ") +
                                                 outcome.reports.join(QStringLiteral(" | "))});
    }

    std::cout << "[ damaged  ] " << variants.size() << " variants: " << counts[Damage::Visible] << " visibly damaged ("
              << refused << " refused as they should be), " << counts[Damage::Invisible]
              << " with damage SQLite cannot see, " << counts[Damage::None] << " unharmed\n";
    for (const QString& line : notDamaged)
        std::cout << "             not counted: " << line.toStdString() << '\n';

    EXPECT_GE(refused, 200);
    EXPECT_TRUE(failures.isEmpty()) << failures.size() << " variants went wrong, the first ones:\n"
                                    << failures.mid(0, 25).join(QLatin1Char('\n')).toStdString();
    // The template stays as shipped and never stood in for the damaged file.
    EXPECT_EQ(fileDigest(env->templateFile()), templateDigest);
}

TEST_F(DamagedDataFile, EmptyFileOrEmptyDatabaseIsNewAndGetsItsTable)
{
    const QByteArray noTables = databaseFrom(scratch.path(), {QStringLiteral("PRAGMA user_version=7")});
    ASSERT_FALSE(noTables.isEmpty());
    for (const QByteArray& bytes : {QByteArray(), noTables}) {
        SCOPED_TRACE(bytes.isEmpty() ? "0-byte file" : "database without tables");
        const StartOutcome outcome = startWith(bytes);
        EXPECT_TRUE(outcome.loaded);
        EXPECT_EQ(outcome.reports, QStringList());
        EXPECT_EQ(outcome.listedRows, 0);
        Connection connection;
        connection.open(env->connectionString());
        EXPECT_EQ(firstColumn(connection.handle(), "select name from pragma_table_info('tblContact')"),
                  contact::columnNames());
        // Not the template: that one holds a contact.
        EXPECT_TRUE(rowsById(connection).empty());
        EXPECT_EQ(integrityCheck(connection), QStringList({"ok"}));
    }
}

// Files whose tblContact has the right column names but cannot take the
// program's statements: every save would fail later, which the check at
// opening is there to prevent.
TEST_F(DamagedDataFile, TableThatCannotTakeTheStatementsIsRefusedAtStart)
{
    QStringList columns;
    for (const QString& name : contact::columnNames())
        columns << (name == QLatin1String("ContactID") ? QStringLiteral("ContactID INTEGER PRIMARY KEY")
                                                       : name + QStringLiteral(" TEXT"));
    const std::vector<DamagedVariant> variants = {
        {"tblContact is a view",
         databaseFrom(scratch.path(),
                      {QStringLiteral("CREATE TABLE realContacts (%1)").arg(columns.join(',')),
                       QStringLiteral("insert into realContacts (ContactName) values ('Seen Through A View')"),
                       QStringLiteral("CREATE VIEW tblContact AS SELECT * FROM realContacts")})},
        {"tblContact whose ContactID is text, not the numbered key",
         databaseFrom(scratch.path(),
                      {QStringLiteral("CREATE TABLE tblContact (%1)")
                           .arg(columns.join(',').replace("ContactID INTEGER PRIMARY KEY", "ContactID TEXT")),
                       QStringLiteral("insert into tblContact (ContactID, ContactName) values ('x', 'Keyless')")})},
        // Files crafted so that the statements would run but lose or change
        // contacts.
        {"a generated column that select * would return among the others",
         databaseFrom(scratch.path(), {QStringLiteral("CREATE TABLE tblContact (%1)")
                                           .arg(columns.join(',').replace(
                                               "ContactName TEXT,",
                                               "ContactName TEXT, Initial TEXT AS (substr(ContactName, 1, 1)),"))})},
        {"a trigger that deletes the other contacts",
         databaseFrom(scratch.path(),
                      {QStringLiteral("CREATE TABLE tblContact (%1)").arg(columns.join(',')),
                       QStringLiteral("CREATE TRIGGER wipe AFTER INSERT ON tblContact BEGIN DELETE FROM tblContact "
                                      "WHERE ContactID <> new.ContactID; END")})},
        {"a phone column that stores '007' as 7",
         databaseFrom(scratch.path(), {QStringLiteral("CREATE TABLE tblContact (%1)")
                                           .arg(columns.join(',').replace("Mobile1 TEXT", "Mobile1 INTEGER"))})},
        {"a WITHOUT ROWID table",
         databaseFrom(scratch.path(),
                      {QStringLiteral("CREATE TABLE tblContact (%1) WITHOUT ROWID").arg(columns.join(','))})},
        {"a unique e-mail that replaces the other contact on a clash",
         databaseFrom(scratch.path(),
                      {QStringLiteral("CREATE TABLE tblContact (%1)")
                           .arg(columns.join(',').replace("Email TEXT", "Email TEXT UNIQUE ON CONFLICT REPLACE"))})},
    };
    for (const DamagedVariant& variant : variants) {
        const QStringList problems = refusalProblems(startWith(variant.bytes), variant.bytes);
        EXPECT_TRUE(problems.isEmpty()) << describe(variant.label, problems).toStdString();
    }
}

// Another program's database is not a contact file to be taken over: adding
// tblContact to it would change a file that is not the program's.
// A sound database without tblContact gets the table; what else it holds is
// left as it was.
TEST_F(DamagedDataFile, DatabaseOfOtherTablesGetsTheTableBesideThem)
{
    const std::vector<DamagedVariant> variants = {
        {"only an empty-named table",
         databaseFrom(scratch.path(), {QStringLiteral("CREATE TABLE \"\" (ContactName TEXT, Remark TEXT)"),
                                       QStringLiteral("insert into \"\" values ('Hidden', 'in a nameless table')")})},
        {"another program's tables",
         databaseFrom(scratch.path(), {QStringLiteral("CREATE TABLE Customers (Id INTEGER PRIMARY KEY, Name TEXT)"),
                                       QStringLiteral("insert into Customers (Name) values ('Acme')")})},
    };
    for (const DamagedVariant& variant : variants) {
        const StartOutcome outcome = startWith(variant.bytes);
        EXPECT_TRUE(outcome.loaded) << variant.label;
        EXPECT_EQ(outcome.reports, QStringList()) << variant.label;
        Connection connection;
        connection.open(env->connectionString());
        EXPECT_EQ(firstColumn(connection.handle(), "select name from pragma_table_info('tblContact')"),
                  contact::columnNames())
            << variant.label;
        EXPECT_EQ(firstColumn(connection.handle(), "select count(*) from sqlite_master where name <> 'tblContact' "
                                                   "and name not like 'sqlite%'"),
                  QStringList({"1"}))
            << variant.label;
        EXPECT_EQ(integrityCheck(connection), QStringList({"ok"})) << variant.label;
    }
}

// A file marked for write-ahead logging is switched to the rollback journal
// when it opens; for a damaged one that switch must not come first.
TEST_F(DamagedDataFile, DamagedFileMarkedForWalIsLeftAsItWas)
{
    QByteArray wal = sound;
    wal[18] = 2;
    wal[19] = 2;
    const int pageSize = static_cast<unsigned char>(sound[16]) << 8 | static_cast<unsigned char>(sound[17]);
    QByteArray zeroedPage = wal;
    zeroedPage.replace(3 * pageSize, pageSize, QByteArray(pageSize, '\0'));
    QByteArray badCellCount = wal;
    badCellCount[pageSize + 3] = '\x7f';
    const std::vector<DamagedVariant> variants = {
        {"WAL mark and page 4 zeroed", zeroedPage},
        {"WAL mark and a wrong cell count on page 2", badCellCount},
        {"WAL mark and the last page cut off", wal.left(wal.size() - pageSize)}};
    for (const DamagedVariant& variant : variants) {
        ASSERT_EQ(examine(variant.bytes, scratch.path(), soundRows).damage, Damage::Visible) << variant.label;
        const QStringList problems = refusalProblems(startWith(variant.bytes), variant.bytes);
        EXPECT_TRUE(problems.isEmpty()) << describe(variant.label, problems).toStdString();
    }
}
