// A data file or folder the user may not write to: the list still shows,
// every write is reported, and the window still closes. Permissions do not
// bind root, so each scenario runs in a child process that gives up root
// first.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include "store/connection.h"
#include "store/contacttable.h"
#include "store/viewsettings.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

namespace {

const uid_t kNobody = 65534;

// Runs body in a child that has become an ordinary user; the child's failed
// expectations become its exit status.
void asOrdinaryUser(const std::function<void()>& body)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(3);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's failures above";
}

void chmodTree(const QString& path, mode_t folders)
{
    ::chmod(QFile::encodeName(path).constData(), folders);
}

QStringList lines(const ScriptedMessages& messages)
{
    QStringList found;
    for (const MessageRequest& box : messages.shown()) {
        const qsizetype at = box.text.indexOf("at line ");
        found << (at < 0 ? QString() : box.text.mid(at + 8, 3));
    }
    return found;
}

// Makes a data file with two contacts that everyone may read, in folders that
// everyone may enter, then takes away what the scenario says.
struct ReadOnlySetup {
    TempEnv env;
    explicit ReadOnlySetup(bool folderWritable, bool fileWritable)
    {
        env.installDataFile();
        {
            Connection seed;
            seed.open(env.connectionString());
            seed.execute(contact::insertStatement({"Anna", "01/02/1990"}));
            seed.execute(contact::insertStatement({"Bob", "03/04/1980"}));
        }
        for (QString path = env.dataHome() + "/Marrowind/Rondexa"; path.startsWith(env.root()) || path == env.root();
             path = QFileInfo(path).path())
            chmodTree(path, 0755);
        chmodTree(env.root(), 0755);
        chmodTree(env.appFolder(), 0755);
        chmodTree(env.configHome(), 0555);
        ::chmod(QFile::encodeName(env.dataFile()).constData(), fileWritable ? 0666 : 0444);
        chmodTree(env.dataHome() + "/Marrowind/Rondexa", folderWritable ? 0777 : 0555);
    }
};

void runScenario(TempEnv& env)
{
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    Form1 form(env.session());
    EXPECT_TRUE(form.Form_Load());
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
    ASSERT_EQ(form.rowCount(), 2);

    // Add: refused by the file system, reported once, the editor keeps its input.
    bool closed = true;
    addContactCommand(form, [&](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText("Carl");
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
        EXPECT_EQ(control<QLineEdit>(editor, "txtContactName").text(), "Carl");
    });
    EXPECT_FALSE(closed);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_TRUE(messages.shown()[0].text.contains("readonly") || messages.shown()[0].text.contains("open"))
        << messages.shown()[0].text.toStdString();
    EXPECT_EQ(lines(messages), QStringList({"108"}));

    // Delete: reported, and the list reloads with both contacts still there.
    messages.clear();
    control<QTableView>(form, "ListView1").selectRow(0);
    messages.answer(MsgAnswer::Yes);
    form.PushButton2_Click();
    EXPECT_EQ(lines(messages), QStringList({"", "104"}));
    EXPECT_EQ(form.rowCount(), 2);

    // The three sample inserts: each reported, the list reloaded.
    messages.clear();
    form.PushButton8_Click();
    EXPECT_EQ(lines(messages), QStringList({"102", "106", "110"}));
    EXPECT_EQ(form.rowCount(), 2);

    // Closing: the settings cannot be written; reported, and the program ends.
    messages.clear();
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(end.ended());
    EXPECT_FALSE(messages.shown().empty());
    EXPECT_TRUE(lines(messages).contains("106"));
    EXPECT_FALSE(env.gConn());
}

} // namespace

TEST(ReadOnly, DataFileThatCannotBeWritten)
{
    ReadOnlySetup setup(true, false);
    asOrdinaryUser([&] { runScenario(setup.env); });
}

TEST(ReadOnly, DataFolderThatCannotBeWritten)
{
    ReadOnlySetup setup(false, true);
    asOrdinaryUser([&] { runScenario(setup.env); });
}
