#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "app/batchrun.h"
#include "app/startoptions.h"
#include "support/tempenv.h"

namespace {

struct LineCase {
    QStringList arguments;
    StartOptions::Mode mode;
    QStringList files;
    QString exportPath;
    VCardVersion version = VCardVersion::V40;
};

struct BatchOutput {
    int status = -1;
    QString out;
    QString err;
};

BatchOutput runBatchOf(const TempEnv& env, const QStringList& arguments)
{
    BatchOutput result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = runBatch(StartOptions::parse(arguments), env.appFolder(), out, err);
    return result;
}

// Writes the cards to a file of that name and imports it; the exit status.
int importCards(const TempEnv& env, const char* name, const char* cards)
{
    const QString file = env.root() + QLatin1Char('/') + QLatin1String(name);
    writeFile(file, cards);
    return runBatchOf(env, {"--import", file}).status;
}

} // namespace

TEST(StartOptions, CommandLinesAndTheirMeaning)
{
    using Mode = StartOptions::Mode;
    const std::vector<LineCase> cases = {
        {{}, Mode::Window, {}, {}},
        {{"a.vcf", "b.vcf"}, Mode::Window, {"a.vcf", "b.vcf"}, {}},
        {{"--import", "a.vcf", "b.vcf"}, Mode::Import, {"a.vcf", "b.vcf"}, {}},
        {{"--import", "--", "-odd.vcf"}, Mode::Import, {"-odd.vcf"}, {}},
        {{"--export-vcard", "out.vcf"}, Mode::ExportVCard, {}, "out.vcf"},
        {{"--vcard-version", "3.0", "--export-vcard", "out.vcf"}, Mode::ExportVCard, {}, "out.vcf", VCardVersion::V30},
        {{"--help"}, Mode::Help, {}, {}},
        {{"--import"}, Mode::Invalid, {}, {}},
        {{"--export-vcard"}, Mode::Invalid, {}, {}},
        {{"--import", "a.vcf", "--export-vcard", "out.vcf"}, Mode::Invalid, {"a.vcf"}, {}},
        {{"--export-vcard", "out.vcf", "--vcard-version", "2.1"}, Mode::Invalid, {}, "out.vcf"},
        {{"--vcard-version", "3.0", "a.vcf"}, Mode::Invalid, {"a.vcf"}, {}},
        {{"--frobnicate"}, Mode::Invalid, {}, {}},
        {{"--snapshots"}, Mode::Snapshots, {}, {}},
        {{"--restore", "snapshot-x.mdb"}, Mode::Restore, {}, {}},
        {{"--restore"}, Mode::Invalid, {}, {}},
        {{"--snapshots", "a.vcf"}, Mode::Invalid, {"a.vcf"}, {}},
        {{"--import", "a.vcf", "--snapshots"}, Mode::Invalid, {"a.vcf"}, {}},
    };
    for (const LineCase& c : cases) {
        const StartOptions options = StartOptions::parse(c.arguments);
        const std::string line = c.arguments.join(' ').toStdString();
        EXPECT_EQ(options.mode, c.mode) << line;
        if (c.mode == Mode::Invalid) {
            EXPECT_FALSE(options.error.isEmpty()) << line;
            continue;
        }
        EXPECT_EQ(options.files, c.files) << line;
        EXPECT_EQ(options.exportPath, c.exportPath) << line;
        EXPECT_EQ(options.version, c.version) << line;
    }
}

// Without a window: the data file is made from the template on a first run,
// each file is imported whole or not at all, and the status says whether
// all of them were.
TEST(BatchRun, ImportsFileByFileAndExportsWhatWasImported)
{
    TempEnv env;
    ASSERT_FALSE(QFile::exists(env.dataFile()));
    const QString good = env.root() + QStringLiteral("/good.vcf");
    const QString broken = env.root() + QStringLiteral("/broken.vcf");
    writeFile(good, "BEGIN:VCARD\nVERSION:4.0\nFN:Ада Лавлейс\nEMAIL:ada@example.org\nEND:VCARD\n");
    writeFile(broken, "BEGIN:VCARD\nVERSION:3.0\nFN:Ben\nEND:VCARD\nBEGIN:VCARD\nFN:Cleo\n");

    const BatchOutput imported = runBatchOf(env, {"--import", good, broken});
    EXPECT_EQ(imported.status, 1);
    const QStringList lines = imported.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << imported.out.toStdString();
    EXPECT_TRUE(lines[0].contains("good.vcf") && lines[0].contains("1 added")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("broken.vcf") && lines[1].contains("line 5")) << lines[1].toStdString();
    EXPECT_TRUE(QFile::exists(env.dataFile()));

    EXPECT_EQ(runBatchOf(env, {"--import", good}).status, 0) << "a file of names already there still imports";

    const QString exported = env.root() + QStringLiteral("/all.vcf");
    const BatchOutput written = runBatchOf(env, {"--export-vcard", exported, "--vcard-version", "3.0"});
    EXPECT_EQ(written.status, 0) << written.err.toStdString();
    EXPECT_EQ(written.out.trimmed(), "1 contact written to " + exported);
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("VERSION:3.0") && text.contains("FN:Ада Лавлейс") && !text.contains("Ben"))
        << text.toStdString();

    const BatchOutput failed =
        runBatchOf(env, {"--export-vcard", env.root() + QStringLiteral("/no/such/folder/x.vcf")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(failed.err.isEmpty());
    EXPECT_EQ(runBatchOf(env, {"--frobnicate"}).status, 2);
}

// An export onto the data file, by any name that reaches it, would replace
// every contact with their vCards; so would one onto a file SQLite keeps
// beside it, which the next start would take for the file's own.
TEST(BatchRun, RefusesToExportOntoTheDataFileByAnyName)
{
    TempEnv env;
    ASSERT_EQ(importCards(env, "card.vcf", "BEGIN:VCARD\nVERSION:4.0\nFN:Kept Safe\nEND:VCARD\n"), 0);
    const QString data = env.dataFile();
    const QString folder = QFileInfo(data).path();
    QFile original(data);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    const QString link = env.root() + QStringLiteral("/link.vcf");
    const QString hardLink = env.root() + QStringLiteral("/hard.vcf");
    const QString walLink = env.root() + QStringLiteral("/wal.vcf");
    ASSERT_TRUE(QFile::link(data, link));
    ASSERT_EQ(::link(QFile::encodeName(data).constData(), QFile::encodeName(hardLink).constData()), 0);
    ASSERT_TRUE(QFile::link(data + QStringLiteral("-wal"), walLink));
    const QStringList targets = {
        data,     link,
        hardLink, data + QStringLiteral("-journal"),
        walLink,  folder + QStringLiteral("/../Rondexa/dbContacts.mdb-shm"),
    };
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        const BatchOutput refused = runBatchOf(env, {"--export-vcard", target});
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.out.isEmpty()) << refused.out.toStdString();
        EXPECT_TRUE(refused.err.contains(QStringLiteral("Rondexa keeps its contacts there")))
            << refused.err.toStdString();
    }
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_TRUE(original.readAll() == before);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    for (const char* companion : {"-journal", "-wal", "-shm"})
        EXPECT_FALSE(QFileInfo::exists(data + QLatin1String(companion))) << companion;

    const QString elsewhere = env.root() + QStringLiteral("/all.vcf");
    const BatchOutput written = runBatchOf(env, {"--export-vcard", elsewhere});
    EXPECT_EQ(written.status, 0) << written.err.toStdString();
    EXPECT_EQ(written.out.trimmed(), "1 contact written to " + elsewhere);
}

// The command line's side of snapshots: an import takes one, --snapshots
// lists them with their counts and --restore puts a listed one back. That the
// copies are whole is the store's tests' to show.
TEST(BatchRun, ImportsAreSnapshottedAndASnapshotComesBack)
{
    TempEnv env;
    ASSERT_EQ(importCards(env, "two.vcf",
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nEND:VCARD\r\n"),
              0);
    const BatchOutput listed = runBatchOf(env, {"--snapshots"});
    EXPECT_EQ(listed.status, 0);
    const QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    EXPECT_TRUE(lines[1].endsWith("  0 contacts")) << lines[1].toStdString();

    const BatchOutput restored = runBatchOf(env, {"--restore", lines[1].section(QStringLiteral("  "), 0, 0)});
    EXPECT_EQ(restored.status, 0) << restored.err.toStdString();
    EXPECT_EQ(firstValueIn(env.dataFile(), "select count(*) from tblContact"), "0");
    // The file as it was before the restore is the newest snapshot.
    const QStringList after = runBatchOf(env, {"--snapshots"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(after.size(), 3);
    EXPECT_TRUE(after[2].endsWith("  2 contacts")) << after[2].toStdString();

    const BatchOutput missing = runBatchOf(env, {"--restore", "snapshot-none"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("There is no snapshot")) << missing.err.toStdString();
}

// vCard carries a carriage return only in the note, in a parameter of the
// program's own, and UTF-8 text only: the export line says what went out
// otherwise than it is stored, and in how many contacts.
TEST(BatchRun, TheExportLineSaysWhatTheFileCouldNotCarry)
{
    TempEnv env;
    ASSERT_EQ(importCards(env, "cards.vcf",
                          "BEGIN:VCARD\nFN:Ann\nEND:VCARD\nBEGIN:VCARD\nFN:Bo\nEND:VCARD\n"
                          "BEGIN:VCARD\nFN:Cy\nEND:VCARD\nBEGIN:VCARD\nFN:Di\nEND:VCARD\n"),
              0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(env.dataFile()).constData(), &db), SQLITE_OK);
    const int changed =
        sqlite3_exec(db,
                     "update tblContact set Mobile1 = '1' || char(13, 10) || '2' where ContactName = 'Ann';"
                     "update tblContact set Email = 'b' || char(13) || 'o', Remark = 'x' || char(13) || 'y' "
                     "where ContactName = 'Bo';"
                     "update tblContact set Website = cast(x'77C3' as text) where ContactName = 'Cy';"
                     "update tblContact set Remark = 'x' || char(13, 10) || 'y' where ContactName = 'Di';",
                     nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(changed, SQLITE_OK);

    const QString exported = env.root() + QStringLiteral("/all.vcf");
    const BatchOutput written = runBatchOf(env, {"--export-vcard", exported});
    EXPECT_EQ(written.out.trimmed(), "4 contacts written to " + exported +
                                         "; 2 with line breaks outside the remarks written as plain line breaks, "
                                         "1 with text that is not valid UTF-8 written with replacement characters");
}
