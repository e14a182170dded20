#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAccessible>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "base/apperror.h"
#include "base/messages.h"
#include "store/connection.h"
#include "store/datafiles.h"
#include "store/paths.h"
#include "store/viewsettings.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/main/contactrows.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

namespace {

QByteArray digest(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

int mode(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return static_cast<int>(info.st_mode & 07777);
}

} // namespace

TEST(StartUp, FirstStartCreatesFoldersCopiesTemplateAndOpensTheCopy)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    const QByteArray templateBefore = digest(env.templateFile());
    const QDateTime templateTime = QFileInfo(env.templateFile()).lastModified();
    {
        Form1 form(env.session());
        ASSERT_TRUE(form.Form_Load());
        EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
        EXPECT_EQ(form.windowTitle(), "Rondexa");
        EXPECT_EQ(env.seam().applicationTitle(), "Rondexa");
        ASSERT_TRUE(env.gConn());
        EXPECT_EQ(env.gConn()->state(), 1);
        env.gConn()->execute("insert into tblContact (ContactName) values ('Written To The Copy')");
        form.Form_QueryUnload();
    }
    EXPECT_EQ(mode(env.dataHome() + "/Marrowind"), 0700);
    EXPECT_EQ(mode(env.dataHome() + "/Marrowind/Rondexa"), 0700);
    EXPECT_EQ(mode(env.dataFile()), 0600);
    EXPECT_NE(digest(env.dataFile()), templateBefore);
    EXPECT_EQ(digest(env.templateFile()), templateBefore);
    EXPECT_EQ(QFileInfo(env.templateFile()).lastModified(), templateTime);
    EXPECT_FALSE(end.ended());

    // Second start: the same file, nothing copied.
    {
        Form1 form(env.session());
        ASSERT_TRUE(form.Form_Load());
        ASSERT_EQ(form.listModel().rowCount(), 1);
        EXPECT_EQ(form.listRows().row(0)[1], "Written To The Copy");
        form.Form_QueryUnload();
    }
    // A deleted data file is copied afresh from the template.
    QFile::remove(env.dataFile());
    {
        Form1 form(env.session());
        ASSERT_TRUE(form.Form_Load());
        EXPECT_EQ(form.listModel().rowCount(), 0);
        EXPECT_EQ(digest(env.dataFile()), templateBefore);
        form.Form_QueryUnload();
    }
    EXPECT_TRUE(messages.shown().empty());
}

TEST(StartUp, NoTemplateAndNoDataFileEndsAfterOneMessage)
{
    TempEnv env(false);
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    Form1 form(env.session());
    EXPECT_FALSE(form.Form_Load());
    EXPECT_TRUE(end.ended());
    EXPECT_EQ(end.status(), 0);
    EXPECT_EQ(messages.texts(), QStringList({env.appFolder() + "/dbContacts.mdb not found"}));
    EXPECT_EQ(messages.shown()[0].title, "Rondexa");
    EXPECT_EQ(messages.shown()[0].buttons, MsgButtons::Ok);
    EXPECT_FALSE(env.gConn());
    EXPECT_EQ(form.listModel().columnCount(), 0);
    EXPECT_TRUE(form.windowTitle().isEmpty());
}

TEST(StartUp, MakerFolderThatCannotBeCreatedIsReportedAndStartUpGoesOn)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    // A plain file where a folder is needed: every folder below it fails.
    const QString blocked = env.root() + "/blocked";
    QFile(blocked).open(QIODevice::WriteOnly);
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocked + "/data"));
    Form1 form(env.session());
    EXPECT_TRUE(form.Form_Load());
    EXPECT_FALSE(end.ended());
    ASSERT_FALSE(messages.shown().empty());
    EXPECT_TRUE(messages.shown()[0].text.contains("Form1.Form_Load at line 102\r\r"));
    EXPECT_TRUE(messages.shown()[0].text.startsWith("Cannot create folder " + blocked + "/data/Marrowind"));
    EXPECT_EQ(form.windowTitle(), "Rondexa");
    EXPECT_EQ(form.listModel().columnCount(), 14);
}

TEST(StartUp, ConnectionThatCannotOpenLeavesAnEmptyListAndTheHourglass)
{
    TempEnv env;
    writeFile(env.dataFile(), "These are my contacts, typed by hand.\n");
    const QByteArray before = digest(env.dataFile());

    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    EXPECT_TRUE(form.Form_Load());
    ASSERT_EQ(messages.shown().size(), 2u) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(messages.shown()[0].text.contains("Form1.Form_Load at line 152\r\r"));
    EXPECT_TRUE(messages.shown()[0].text.contains("damaged or is not a contact file"));
    EXPECT_TRUE(messages.shown()[1].text.startsWith("Operation is not allowed when the object is closed.\r\n"));
    EXPECT_TRUE(messages.shown()[1].text.contains("at line 190\r\r"));
    EXPECT_EQ(form.listModel().rowCount(), 0);
    EXPECT_EQ(form.listModel().columnCount(), 14);
    EXPECT_EQ(form.mousePointer(), 11);
    // A damaged data file is neither replaced nor touched.
    EXPECT_EQ(digest(env.dataFile()), before);
}

TEST(ContactList, HeadingsWidthsOrderAndEmptyCells)
{
    TempEnv env;
    env.installDataFile();
    {
        Connection seed;
        seed.open(env.connectionString());
        for (const char* name : {"Яков", "Zed", "борис", "émile", "Bob", "anna"})
            seed.execute(QStringLiteral("insert into tblContact (ContactName, Remark) values ('%1', null)")
                             .arg(QString::fromUtf8(name)));
    }
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    const QStringList headings = {"ID",           "Name",         "Date Of Birth", "Mobile No. 1", "Mobile No. 2",
                                  "Office No. 1", "Office No. 2", "Fax No. 1",     "Fax No. 2",    "Home No. 1",
                                  "Home No. 2",   "Email",        "Website",       "Remarks"};
    EXPECT_EQ(form.listRows().headings(), headings);
    EXPECT_EQ(form.columnWidthTwips(0), 1);
    for (int c = 1; c < 14; ++c)
        EXPECT_EQ(form.columnWidthTwips(c), 1800) << c;
    QStringList names;
    for (int r = 0; r < form.listModel().rowCount(); ++r)
        names << form.listRows().row(r)[1];
    EXPECT_EQ(names, QStringList({"anna", "Bob", "émile", "Zed", "борис", "Яков"}));
    const ListRow& anna = form.listRows().row(0);
    EXPECT_EQ(anna[0], "6");
    for (int c = 2; c < 14; ++c)
        EXPECT_TRUE(anna[static_cast<size_t>(c)].isEmpty());
    EXPECT_EQ(form.mousePointer(), 0);
    EXPECT_TRUE(messages.shown().empty());
}

TEST(Closing, ClosesAndReleasesTheConnectionAndEndsTheProgram)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(env.gConn());
    EXPECT_TRUE(end.ended());
    EXPECT_EQ(end.status(), 0);
    EXPECT_TRUE(messages.shown().empty());
}

TEST(AppTitle, DropsTheLastWordUntilFortyCharactersRemain)
{
    EXPECT_EQ(shortenedTitle("Rondexa"), "Rondexa");
    EXPECT_EQ(shortenedTitle("Marrowind Personal Contact Keeper"), "Marrowind Personal Contact");
    EXPECT_EQ(shortenedTitle("Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota"),
              "Alpha Beta Gamma Delta Epsilon Zeta Eta");
    EXPECT_EQ(shortenedTitle("Averyveryveryveryveryveryveryverylongword and more"),
              "Averyveryveryveryveryveryveryverylongword");
}

TEST(StartUp, NewAccountWithoutItsDataFolderGetsTheWholePath)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    const QString fresh = env.root() + "/newhome/.local/share";
    qputenv("XDG_DATA_HOME", QFile::encodeName(fresh));
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(QFileInfo(fresh + "/Marrowind/Rondexa/dbContacts.mdb").isFile());
    EXPECT_EQ(mode(fresh), 0700);
    EXPECT_EQ(env.gConn()->state(), 1);
}

// Relative XDG folders are ignored as the base-directory rules say, and a
// missing HOME falls back to the account's home: nothing is ever made at the
// root or below the current folder.
TEST(StartUp, RelativeBaseFoldersAndAMissingHomeAreNeverUsed)
{
    TempEnv env;
    const QString before = QDir::currentPath();
    QDir::setCurrent(env.root());
    qputenv("XDG_DATA_HOME", "reldata");
    qputenv("XDG_CONFIG_HOME", "relconfig");
    qputenv("XDG_CACHE_HOME", "relcache");
    EXPECT_EQ(GetSpecialFolder(35), env.root() + "/.local/share");
    EXPECT_EQ(ViewSettings::filePath(), env.root() + "/.config/Marrowind.conf");
    qunsetenv("HOME");
    const QString accountHome = homeFolder();
    EXPECT_TRUE(accountHome.startsWith('/') && accountHome != "/") << accountHome.toStdString();
    EXPECT_EQ(xdgBaseFolder("XDG_CACHE_HOME", ".cache"), accountHome + "/.cache");
    qputenv("XDG_DATA_HOME", "/");
    qputenv("HOME", "relative/home");
    EXPECT_EQ(xdgBaseFolder("XDG_DATA_HOME", ".local/share"), accountHome + "/.local/share");
    EXPECT_FALSE(QFileInfo::exists(env.root() + "/reldata"));
    EXPECT_THROW(makeFolder("/Marrowind"), AppError);
    QDir::setCurrent(before);
}

// A named pipe where the settings or the pointer file belong would block the
// start for good if it were opened: each is reported once and skipped.
TEST(StartUp, PipesInPlaceOfTheSettingsOrThePointerDoNotBlock)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    QDir().mkpath(env.configHome());
    for (const QString& path : {ViewSettings::filePath(), env.appFolder() + "/HAND-M.CUR"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    const QStringList texts = messages.texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(" | ").toStdString();
    EXPECT_TRUE(texts[0].contains("HAND-M.CUR: it is not a plain file") && texts[0].contains("at line 122"));
    EXPECT_TRUE(texts[1].contains("is not a plain file") && texts[1].contains("at line 182"));
    EXPECT_EQ(form.columnWidthTwips(1), 1800);
}

TEST(ContactList, ReachableThroughTheAccessibilityLayer)
{
    TempEnv env;
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    env.gConn()->execute("insert into tblContact (ContactName) values ('Anna')");
    form.loadRondexa();
    form.show();

    // A window screen readers announce, not a "filler".
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&form)->role(), QAccessible::Window);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&control<QTableView>(form, "ListView1"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::Table);
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->columnCount(), 14);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->columnDescription(2), "Date Of Birth");
    EXPECT_EQ(table->cellAt(0, 1)->text(QAccessible::Name), "Anna");

    QAccessibleInterface* search = QAccessible::queryAccessibleInterface(&control<QLineEdit>(form, "Text1"));
    EXPECT_EQ(search->text(QAccessible::Name), "Search Contacts");
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
        EXPECT_EQ(accessible->text(QAccessible::Name), button->text());
    }
}
