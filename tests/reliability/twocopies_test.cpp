// Two copies of the program on one data file: saves wait for each other's
// locks, nothing is lost, and a lock that is never let go ends in a report
// instead of a frozen window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <set>

#include <sys/wait.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "base/apperror.h"
#include "childprocess.h"
#include "editorinput.h"
#include "output/spreadsheetfolder.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "storeprobe.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui/main/form1.h"

namespace {

const int kContactsPerCopy = 200;

Contact copyContact(char copy, int number)
{
    Contact values;
    values[contact::Field::Name] =
        QStringLiteral("Copy %1 %2").arg(QLatin1Char(copy)).arg(number, 3, 10, QLatin1Char('0'));
    values[contact::Field::DateOfBirth] = QStringLiteral("05/06/1990");
    values[contact::Field::Mobile1] = QStringLiteral("+44 20 %1").arg(number);
    values[contact::Field::Remark] = QStringLiteral("saved by copy %1").arg(QLatin1Char(copy));
    return values;
}

// A save or reload that a busy lock made fail is reported to the user, who
// keeps the editor with its input and presses Save again; so does a copy
// here, counting the reports.
const int kMostLockedReports = 20;

bool lockedOut(const AppError& error)
{
    return error.description() == QLatin1String("database is locked");
}

// One copy's work: a save, then the list reload every save is followed by,
// so that readers and writers of both copies meet on the file's locks.
// Says "done", the number of saves and reloads that ended in a report, when
// it started and ended on the machine's monotonic clock (shared by both
// processes), and its longest save in milliseconds.
int saveContacts(const QString& connectionString, char copy, const ChildChannel& channel)
{
    if (channel.await(30000) != 'g')
        return 2;
    const auto started = std::chrono::steady_clock::now();
    Connection connection;
    connection.open(connectionString);
    int locked = 0;
    std::chrono::steady_clock::duration longest{};
    for (int number = 0; number < kContactsPerCopy; ++number) {
        const auto saveStarted = std::chrono::steady_clock::now();
        for (;;) {
            try {
                connection.execute(contact::insertStatement(copyContact(copy, number)));
                break;
            } catch (const AppError& e) {
                if (!lockedOut(e))
                    throw;
                ++locked;
            }
        }
        longest = std::max(longest, std::chrono::steady_clock::now() - saveStarted);
        try {
            Recordset list;
            list.open(contact::listQuery(), connection, 3, 1);
            while (!list.eof()) {
                for (int i = 0; i < 14; ++i)
                    list.fieldUtf8(i);
                list.moveNext();
            }
            list.close();
        } catch (const AppError& e) {
            if (!lockedOut(e))
                throw;
            ++locked;
        }
    }
    const auto ended = std::chrono::steady_clock::now();
    const auto count = [](std::chrono::steady_clock::duration d) {
        return QByteArray::number(
            static_cast<qlonglong>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()));
    };
    channel.say("done " + QByteArray::number(locked) + ' ' + count(started.time_since_epoch()) + ' ' +
                count(ended.time_since_epoch()) + ' ' + count(longest));
    return 0;
}

} // namespace

TEST(TwoCopies, BothSavingAtOnceLoseNothing)
{
    TempEnv env;
    env.installDataFile();
    const QString connectionString = env.connectionString();
    // Both copies start before this process opens the file: SQLite's lock
    // bookkeeping must not be inherited through fork().
    ChildProcess first([&](const ChildChannel& channel) { return saveContacts(connectionString, 'A', channel); });
    ChildProcess second([&](const ChildChannel& channel) { return saveContacts(connectionString, 'B', channel); });
    QElapsedTimer timer;
    timer.start();
    first.send('g');
    second.send('g');
    int lockedReports = 0;
    std::vector<qlonglong> starts;
    std::vector<qlonglong> ends;
    qlonglong longestSave = 0;
    for (ChildProcess* copy : {&first, &second}) {
        const std::optional<QByteArray> line = copy->readLine(150000);
        ASSERT_TRUE(line && line->startsWith("done ")) << "a copy failed: " << (line ? line->constData() : "no answer");
        const QList<QByteArray> words = line->split(' ');
        ASSERT_EQ(words.size(), 5);
        lockedReports += words[1].toInt();
        starts.push_back(words[2].toLongLong());
        ends.push_back(words[3].toLongLong());
        longestSave = std::max(longestSave, words[4].toLongLong());
        const std::optional<int> status = copy->wait(10000);
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }
    const qint64 elapsed = timer.elapsed();

    Connection connection;
    connection.open(connectionString);
    EXPECT_EQ(integrityCheck(connection), QStringList({"ok"}));
    const std::vector<StoredRow> rows = rowsById(connection);
    ASSERT_EQ(rows.size(), 2u * kContactsPerCopy);
    std::set<QString> names;
    int turns = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        names.insert(rows[i][1]);
        // Keys are handed out one by one: no key twice, none skipped.
        EXPECT_EQ(rows[i][0], QString::number(i + 1));
        if (i > 0 && rows[i][1].left(6) != rows[i - 1][1].left(6))
            ++turns;
    }
    for (const char copy : {'A', 'B'}) {
        for (int number = 0; number < kContactsPerCopy; ++number) {
            const Contact expected = copyContact(copy, number);
            EXPECT_EQ(names.count(expected[contact::Field::Name]), 1u) << expected[contact::Field::Name].toStdString();
        }
    }
    // Both copies were at work at the same time. Their saves need not
    // interleave: SQLite grants no turns, and a copy that saves without pause
    // may keep the file until the other's wait nearly runs out.
    EXPECT_LT(std::max(starts[0], starts[1]), std::min(ends[0], ends[1]));
    // The busy timeout makes a copy wait for the other's save; without it
    // about every other save would end in a report.
    EXPECT_LE(lockedReports, kMostLockedReports);
    std::cout << "[ copies   ] " << rows.size() << " contacts from two copies in " << elapsed
              << " ms, the saving copy changed " << turns << " times, the longest save waited " << longestSave
              << " ms, " << lockedReports << " saves or reloads ended in \"database is locked\"\n";
}

TEST(TwoCopies, LockHeldLongerThanTheBusyTimeoutEndsTheSaveInOneReport)
{
    TempEnv env;
    env.installDataFile();
    const QString connectionString = env.connectionString();
    // The other copy holds the file for up to seven seconds, longer than the
    // five the connection waits.
    ChildProcess other([&](const ChildChannel& channel) {
        if (channel.await(30000) != 'g')
            return 2;
        Connection connection;
        connection.open(connectionString);
        connection.execute(QStringLiteral("BEGIN EXCLUSIVE"));
        channel.say("locked");
        channel.await(7000);
        connection.execute(QStringLiteral("ROLLBACK"));
        channel.say("released");
        return 0;
    });

    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    env.gConn()->execute(contact::insertStatement(copyContact('Z', 1)));
    form.loadRondexa();
    const std::vector<StoredRow> before = rowsById(*env.gConn());

    other.send('g');
    const std::optional<QByteArray> locked = other.readLine(30000);
    ASSERT_TRUE(locked && *locked == "locked") << (locked ? locked->constData() : "no answer");

    Contact typed = copyContact('W', 7);
    typed[contact::Field::Name] = QStringLiteral("Waited For");
    qint64 waitedMs = -1;
    bool openAfterFailure = false;
    bool openAfterRetry = true;
    addContactCommand(form, [&](Form2& editor) {
        editor.show();
        typeInto(editor, typed);
        QElapsedTimer timer;
        timer.start();
        editor.PushButton1_Click();
        waitedMs = timer.elapsed();
        openAfterFailure = editor.isVisible();
        EXPECT_EQ(readFrom(editor), typed);
        EXPECT_EQ(editor.mousePointer(), 0);
        ASSERT_EQ(messages.shown().size(), 1u) << messages.texts().join(" | ").toStdString();
        EXPECT_TRUE(messages.shown()[0].text.startsWith(
            "database is locked\r\nin Rondexa2021/08/31.Form2.PushButton1_Click at line 108\r\r"))
            << messages.shown()[0].text.toStdString();

        // Once the other copy lets go, the same window saves.
        other.send('r');
        const std::optional<QByteArray> released = other.readLine(30000);
        ASSERT_TRUE(released && *released == "released");
        messages.clear();
        editor.PushButton1_Click();
        openAfterRetry = editor.isVisible();
        EXPECT_EQ(messages.texts(), QStringList({"Record Successfully Saved."}));
    });
    EXPECT_TRUE(openAfterFailure);
    EXPECT_FALSE(openAfterRetry);
    // About the busy timeout: neither given up at once nor hung.
    EXPECT_GE(waitedMs, 4500);
    EXPECT_LT(waitedMs, 6900);

    const std::vector<StoredRow> after = rowsById(*env.gConn());
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_TRUE(std::equal(typed.begin(), typed.end(), after[1].begin() + 1));
    const std::optional<int> status = other.wait(10000);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    std::cout << "[ copies   ] the save gave up after " << waitedMs << " ms\n";
}

// The workbook an export hands to the spreadsheet program is a copy of the
// list: the next start takes it away, unless the copy that exported it is
// still running and may still be handing it over.
TEST(TwoCopies, TheNextStartRemovesTheWorkbooksOfEveryCopyThatEnded)
{
    QTemporaryDir cache;
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const auto exportAndWait = [](const ChildChannel& channel) {
        SpreadsheetFolder::prepare();
        channel.say(QFile::encodeName(SpreadsheetFolder::reserveWorkbook()));
        return channel.await(30000) == 'q' ? 0 : 2;
    };
    ChildProcess running(exportAndWait);
    ChildProcess ended(exportAndWait);
    const std::optional<QByteArray> kept = running.readLine(30000);
    const std::optional<QByteArray> gone = ended.readLine(30000);
    ASSERT_TRUE(kept && gone);
    ended.send('q');
    const std::optional<int> status = ended.wait(30000);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);

    SpreadsheetFolder::removeLeftovers();
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(*gone)));
    EXPECT_TRUE(QFileInfo::exists(QFile::decodeName(*kept)));

    running.send('q');
    ASSERT_TRUE(running.wait(30000));
    SpreadsheetFolder::removeLeftovers();
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(*kept)));
    qputenv("XDG_CACHE_HOME", oldCache);
}
