// Contacts and the workbooks made from them are the user's alone, whatever
// the process's umask lets through by default.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>

#include "base/apperror.h"
#include "output/spreadsheetfolder.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/paths.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/commands/exchangecommands.h"
#include "ui/main/form1.h"

namespace {

int mode(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

// The most permissive umask there is: every mode the program gets is the one
// it asked for.
class OpenUmask {
public:
    OpenUmask() : mOld(::umask(0)) {}
    ~OpenUmask() { ::umask(mOld); }
    OpenUmask(const OpenUmask&) = delete;
    OpenUmask& operator=(const OpenUmask&) = delete;

private:
    mode_t mOld;
};

class CacheHome {
public:
    explicit CacheHome(const QString& path)
        : mOld(qgetenv("XDG_CACHE_HOME")), mHad(qEnvironmentVariableIsSet("XDG_CACHE_HOME"))
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path));
    }
    ~CacheHome()
    {
        if (mHad)
            qputenv("XDG_CACHE_HOME", mOld);
        else
            qunsetenv("XDG_CACHE_HOME");
    }
    CacheHome(const CacheHome&) = delete;
    CacheHome& operator=(const CacheHome&) = delete;

private:
    QByteArray mOld;
    bool mHad;
};

} // namespace

TEST(Privacy, FirstStartAndAWriteInProgressAreOwnerOnly)
{
    TempEnv env;
    const OpenUmask open;
    ScriptedMessages& messages = env.messages();
    const DataPaths paths = dataPaths(env.appFolder());
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
    EXPECT_EQ(mode(paths.makerFolder), 0700);
    EXPECT_EQ(mode(paths.dataFolder), 0700);
    EXPECT_EQ(mode(paths.dataFile), 0600);
    // The copy is made under a temporary name first; none may stay behind.
    EXPECT_EQ(QDir(paths.dataFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"dbContacts.mdb"});

    // While a save is under way its journal holds the old pages of the file:
    // contacts too, so just as private.
    ASSERT_TRUE(env.gConn());
    env.gConn()->execute("begin");
    Contact values;
    values[contact::Field::Name] = "Kept Private";
    env.gConn()->execute(contact::insertStatement(values));
    const QString journal = paths.dataFile + "-journal";
    ASSERT_TRUE(QFileInfo::exists(journal));
    EXPECT_EQ(mode(journal), 0600);
    env.gConn()->execute("rollback");

    form.Form_QueryUnload();
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
    EXPECT_EQ(mode(paths.dataFile), 0600);
    EXPECT_FALSE(QFileInfo::exists(journal));
}

TEST(Privacy, WorkbooksLiveInAPrivateFolderEveryLevelOfWhichIsNew)
{
    QTemporaryDir root;
    const QString cache = root.path() + "/cache/deeper";
    const CacheHome home(cache);
    const OpenUmask open;

    ASSERT_NO_THROW(SpreadsheetFolder::prepare());
    const QString folder = SpreadsheetFolder::location();
    EXPECT_EQ(folder, cache + "/Marrowind/Rondexa/workbooks");
    for (const QString& level :
         {root.path() + "/cache", cache, cache + "/Marrowind", cache + "/Marrowind/Rondexa", folder}) {
        SCOPED_TRACE(level.toStdString());
        EXPECT_EQ(mode(level), 0700);
    }
    const QString first = SpreadsheetFolder::reserveWorkbook();
    const QString second = SpreadsheetFolder::reserveWorkbook();
    EXPECT_NE(first, second);
    for (const QString& workbook : {first, second}) {
        SCOPED_TRACE(workbook.toStdString());
        EXPECT_EQ(QFileInfo(workbook).path(), folder);
        EXPECT_EQ(mode(workbook), 0600);
        EXPECT_EQ(QFileInfo(workbook).size(), 0);
    }
}

TEST(Privacy, AWorkbookFolderPlantedAsALinkIsRefused)
{
    QTemporaryDir root;
    const QString cache = root.path() + "/cache";
    const CacheHome home(cache);
    const QString exposed = root.path() + "/exposed";
    ASSERT_TRUE(QDir().mkpath(exposed));
    ASSERT_TRUE(QFile::setPermissions(exposed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                   QFile::ExeOther));
    ASSERT_TRUE(QDir().mkpath(cache + "/Marrowind/Rondexa"));
    ASSERT_TRUE(QFile::link(exposed, cache + "/Marrowind/Rondexa/workbooks"));

    EXPECT_THROW(SpreadsheetFolder::prepare(), AppError);
    // The link's target was neither made private (which would hide a stranger's
    // folder from its owner's group) nor used.
    EXPECT_EQ(mode(exposed), 0755);
    EXPECT_TRUE(QDir(exposed).isEmpty());
}

TEST(Privacy, AWorkbookFolderOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    QTemporaryDir root;
    const QString cache = root.path() + "/cache";
    const CacheHome home(cache);
    const QString folder = cache + "/Marrowind/Rondexa/workbooks";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 4242, 4242), 0);

    EXPECT_THROW(SpreadsheetFolder::prepare(), AppError);
}

// The drag folder is emptied before each drag and the workbook folder at each
// start. Planted as links to another folder, neither may empty it, nor make
// it private behind its owner's back.
TEST(Privacy, FoldersPlantedAsLinksAreNeitherEmptiedNorMadePrivate)
{
    TempEnv env;
    const CacheHome home(env.root() + "/cache");
    const QString exposed = env.root() + "/exposed";
    const QString program = env.root() + "/cache/Marrowind/Rondexa";
    ASSERT_TRUE(QDir().mkpath(exposed));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QFile::setPermissions(exposed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                   QFile::ExeOther));
    writeFile(exposed + "/Rondexa-report.xlsx", "someone else's");
    writeFile(exposed + "/notes.txt", "someone else's");
    const QDateTime lastYear = QDateTime::currentDateTime().addYears(-1);
    QFile workbook(exposed + "/Rondexa-report.xlsx");
    ASSERT_TRUE(workbook.open(QIODevice::ReadWrite) &&
                workbook.setFileTime(lastYear, QFileDevice::FileModificationTime));
    workbook.close();
    ASSERT_TRUE(QFile::link(exposed, program + "/dragged"));
    ASSERT_TRUE(QFile::link(exposed, program + "/workbooks"));

    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    Contact values;
    values[contact::Field::Name] = "Dragged Out";
    env.gConn()->execute(contact::insertStatement(values));
    form.loadRondexa();
    control<QTableView>(form, "ListView1").selectRow(0);
    ASSERT_EQ(form.selectedRow(), 0);

    const QStringList planted = {"notes.txt", "Rondexa-report.xlsx"};
    SpreadsheetFolder::removeLeftovers();
    EXPECT_EQ(QDir(exposed).entryList(QDir::Files), planted);
    const std::unique_ptr<QMimeData> refused(selectedContactsDragData(form));
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->data("text/vcard").contains("FN:Dragged Out"));
    EXPECT_TRUE(refused->urls().isEmpty());
    EXPECT_EQ(QDir(exposed).entryList(QDir::Files), planted);
    EXPECT_EQ(mode(exposed), 0755);

    // A folder of the program's own is emptied and used as before.
    ASSERT_TRUE(QFile::remove(program + "/dragged"));
    const std::unique_ptr<QMimeData> first(selectedContactsDragData(form));
    const std::unique_ptr<QMimeData> second(selectedContactsDragData(form));
    ASSERT_EQ(second->urls().size(), 1);
    EXPECT_EQ(second->urls()[0].toLocalFile(), program + "/dragged/Dragged Out.vcf");
    EXPECT_EQ(QDir(program + "/dragged").entryList(QDir::Files), QStringList({"Dragged Out.vcf"}));
    EXPECT_EQ(mode(program + "/dragged"), 0700);
    form.Form_QueryUnload();
}
