#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "base/apperror.h"
#include "platform/programstart.h"
#include "platform/shellandwait.h"

namespace {

const int kFileNotFound = 53 + kStartErrorBase;

QString writeScript(const QString& path, const QByteArray& body, QFile::Permissions permissions)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(body);
    file.close();
    file.setPermissions(permissions);
    return path;
}

TEST(ShellAndWait, ReturnsTheExitCodeSoonAfterTheProgramEnds)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c '/bin/sleep 0.3; exit 3'")), 3);
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, 300);
    // One poll interval after the end, and some slack for a busy machine.
    EXPECT_LT(elapsed, 300 + 100 + 250);

    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/true")), 0);
    // A program ended by a signal reads as a shell reports it.
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c 'kill -TERM $$'")), 128 + 15);
}

TEST(ShellAndWait, HandsTheWordsOverExactlyWithoutAShell)
{
    // The program sees three arguments, each exactly as quoted; nothing is
    // expanded on the way.
    EXPECT_EQ(
        ShellAndWait(QStringLiteral("/bin/sh -c '[ $# = 3 ] && [ \"$1\" = \"a b\" ] && [ \"$2\" = \"it'\\''s\" ] && "
                                    "[ \"$3\" = \"\\$HOME;*\" ] && exit 7; exit 1' zero \"a b\" \"it's\" '$HOME;*'")),
        7);
    // Its input is empty rather than this process's.
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c 'read line && exit 1; exit 4'")), 4);
}

TEST(ShellAndWait, StartFailuresReturnAtOnce)
{
    QTemporaryDir dir;
    const QString notExecutable =
        writeScript(dir.filePath(QStringLiteral("plain")), "#!/bin/sh\nexit 0\n", QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(dir.filePath(QStringLiteral("a folder")));
    struct Case {
        QString commandLine;
        int expected;
    };
    const Case cases[] = {
        {QStringLiteral("no-such-program-for-rondexa --flag"), kFileNotFound},
        {QStringLiteral("/no/such/folder/program"), kFileNotFound},
        {notExecutable, 70 + kStartErrorBase},
        {QLatin1Char('"') + dir.filePath(QStringLiteral("a folder")) + QLatin1Char('"'), 70 + kStartErrorBase},
        {QStringLiteral("/bin/true 'unclosed"), 5 + kStartErrorBase},
        {QStringLiteral("/bin/true ; /bin/false"), 5 + kStartErrorBase},
        {QStringLiteral("   "), 5 + kStartErrorBase},
    };
    EXPECT_EQ(kFileNotFound, -2147221451);
    for (const Case& c : cases) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(ShellAndWait(c.commandLine), c.expected) << c.commandLine.toStdString();
        EXPECT_LT(clock.elapsed(), 100) << c.commandLine.toStdString();
    }
}

TEST(ShellAndWait, WindowStylesOutsideTheRangeBecomeSix)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<std::optional<double>, int> cases[] = {
        {std::nullopt, 6}, {-1, 6},  {7, 6}, {-0.25, 6}, {6.5, 6}, {nan, 6},
        {1e300, 6},        {0, 0},   {1, 1}, {3, 3},     {5, 5},   {6, 6},
        {2.5, 2},          {3.5, 4},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(effectiveWindowStyle(given), expected) << (given ? *given : -999);
    // No style stops a program from starting.
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c 'exit 2'"), 7), 2);
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c 'exit 2'"), -1), 2);
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c 'exit 2'"), 0), 2);
}

TEST(ShellAndWait, EventsAreProcessedWhileWaiting)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    // A command that runs in the middle of the wait, and waits itself.
    int inner = -1;
    QTimer::singleShot(50, [&] { inner = ShellAndWait(QStringLiteral("/bin/sh -c 'exit 5'")); });

    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c '/bin/sleep 0.5; exit 3'")), 3);
    EXPECT_EQ(inner, 5);
    // Every 100 ms over half a second.
    EXPECT_GE(ticks, 3);
}

TEST(ShellAndWait, StartedProgramInheritsNoDescriptors)
{
    // A descriptor without close-on-exec, as a careless library leaves one.
    const int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 57), 57);
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c '[ -e /proc/self/fd/57 ] && exit 1; exit 0'")), 0);
    // The probe itself can see a descriptor that is passed on.
    EXPECT_EQ(ShellAndWait(QStringLiteral("/bin/sh -c '[ -e /proc/self/fd/2 ] && exit 1; exit 0'")), 1);
    ::close(57);
    ::close(fd);
}

TEST(StartDetachedProgram, ReturnsBeforeTheProgramEnds)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("marker"));
    QElapsedTimer clock;
    clock.start();
    startDetachedProgram({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                          QStringLiteral("/bin/sleep 0.5; echo $$ > \"$1\""), QStringLiteral("sh"), marker});
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_FALSE(QFile::exists(marker));
    for (int i = 0; i < 100 && QFile(marker).size() == 0; ++i)
        QThread::msleep(50);
    EXPECT_TRUE(QFile::exists(marker));
    try {
        startDetachedProgram({QStringLiteral("no-such-program-for-rondexa")});
        ADD_FAILURE() << "a missing program started";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 53);
    }
}

} // namespace
