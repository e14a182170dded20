// Every command clicked, and the main window closed, while a long export or
// a run-and-wait keeps the window alive: nothing may crash and the data file
// must stay whole.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "platform/shellandwait.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/main/form1.h"

namespace {

QString integrity(const QString& path)
{
    return firstValueIn(path, "PRAGMA integrity_check");
}

// At the first moment the running command lets events through, clicks every
// command of the window in turn, answering Yes to every question and closing
// every modal window that opens, and finally closes the main window itself.
class Clicker {
public:
    Clicker(Form1& form, ScriptedMessages& messages) : mForm(form), mMessages(messages)
    {
        mStart.setSingleShot(true);
        QObject::connect(&mStart, &QTimer::timeout, [this] { clickEverything(); });
        QObject::connect(&mCloser, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        mCloser.start(30);
    }
    void start() { mStart.start(0); }
    bool finished() const { return mFinished; }
    int clicks() const { return mClicks; }

private:
    void clickEverything()
    {
        for (const char* button : {"PushButton1", "PushButton3", "PushButton2", "PushButton4", "PushButton5",
                                   "PushButton6", "PushButton7", "PushButton8"}) {
            control<QTableView>(mForm, "ListView1").selectRow(0);
            mMessages.answer(MsgAnswer::Yes);
            control<QPushButton>(mForm, button).click();
            ++mClicks;
        }
        mForm.close();
        mFinished = true;
    }

    Form1& mForm;
    ScriptedMessages& mMessages;
    QTimer mStart;
    QTimer mCloser;
    int mClicks = 0;
    bool mFinished = false;
};

class Reentrancy : public ::testing::Test {
protected:
    void SetUp() override
    {
        mOldPath = qgetenv("PATH");
        env = std::make_unique<TempEnv>();
        // A spreadsheet program that opens nothing, so the export goes through.
        const QString bin = env->root() + "/bin";
        QDir().mkpath(bin);
        QFile program(bin + "/gnumeric");
        program.open(QIODevice::WriteOnly);
        program.write("#!/bin/sh\nexit 0\n");
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(env->root() + "/cache"));

        env->installDataFile();
        {
            Connection seed;
            seed.open(env->connectionString());
            seed.execute("BEGIN");
            for (int i = 0; i < 3000; ++i)
                seed.execute(contact::insertStatement(
                    {QStringLiteral("Person %1").arg(i), "01/02/1990", "0123456789", "", "", "", "", "", "", "",
                     QStringLiteral("p%1@example.com").arg(i), "", "a remark=that is long enough"}));
            seed.execute("COMMIT");
        }
        messages = &env->messages();
        end = &env->end();
        form = std::make_unique<Form1>(env->session());
        ASSERT_TRUE(form->Form_Load());
        form->show();
    }
    void TearDown() override
    {
        qputenv("PATH", mOldPath);
        qunsetenv("XDG_CACHE_HOME");
    }

    std::unique_ptr<TempEnv> env;
    ScriptedMessages* messages = nullptr;
    RecordedEnd* end = nullptr;
    std::unique_ptr<Form1> form;
    QByteArray mOldPath;
};

} // namespace

TEST_F(Reentrancy, EveryCommandAndACloseDuringAnExport)
{
    Clicker clicker(*form, *messages);
    clicker.start();
    form->PushButton7_Click();
    // Every command, the second export and the close ran inside this one.
    EXPECT_TRUE(clicker.finished()) << clicker.clicks() << " clicks before the export ended";
    EXPECT_TRUE(end->ended());
    EXPECT_FALSE(env->gConn());
    EXPECT_EQ(integrity(env->dataFile()), "ok");
}

TEST_F(Reentrancy, EveryCommandAndACloseDuringARunAndWait)
{
    Clicker clicker(*form, *messages);
    clicker.start();
    const int code = ShellAndWait("/bin/sh -c '/bin/sleep 1; exit 4'", 0);
    EXPECT_EQ(code, 4);
    EXPECT_TRUE(clicker.finished()) << clicker.clicks();
    EXPECT_TRUE(end->ended());
    EXPECT_EQ(integrity(env->dataFile()), "ok");
}
