#include "platform/shellandwait.h"

#include <cerrno>
#include <cmath>

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "platform/commandline.h"
#include "platform/programstart.h"

namespace {

const int kPollMs = 100;
const int kDefaultStyle = 6;

int exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 0;
}

// Sleeps one poll interval, or less when the program ends sooner: a process
// descriptor becomes readable at the program's end. Kernels without one get
// the plain sleep.
void sleepUntilEndOr(int processFd)
{
    if (processFd >= 0) {
        pollfd entry{processFd, POLLIN, 0};
        if (poll(&entry, 1, kPollMs) >= 0 || errno == EINTR)
            return;
    }
    const timespec interval{0, kPollMs * 1000L * 1000L};
    nanosleep(&interval, nullptr);
}

} // namespace

int effectiveWindowStyle(std::optional<double> windowStyle)
{
    if (!windowStyle || std::isnan(*windowStyle) || *windowStyle < 0 || *windowStyle > 6)
        return kDefaultStyle;
    // A fractional style is rounded as a whole-number argument would be: half
    // to even.
    return static_cast<int>(std::nearbyint(*windowStyle));
}

int ShellAndWait(const QString& commandLine, std::optional<double> windowStyle)
{
    // The style is checked and kept for the start, but on Linux a started
    // program decides itself whether and how it shows a window, so it has no
    // further effect.
    [[maybe_unused]] const int style = effectiveWindowStyle(windowStyle);

    SilentTrap silent;
    pid_t pid = -1;
    silent.step([&] {
        const SplitCommandLine split = splitCommandLine(commandLine);
        if (split.error != SplitError::None)
            throw AppError(QStringLiteral("Invalid procedure call or argument"), startErrorNumber(EINVAL));
        pid = startProgram(split.words);
    });
    if (silent.errorNumber() != 0)
        return silent.errorNumber() + kStartErrorBase;

    // Called directly: the C library's own declaration of pidfd_open lacks C
    // linkage for C++ in this glibc.
    const int processFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    int exitCode = 0;
    for (;;) {
        int status = 0;
        const pid_t reaped = waitpid(pid, &status, WNOHANG);
        if (reaped == pid) {
            exitCode = exitCodeOf(status);
            break;
        }
        // The program can no longer be asked about (someone else collected
        // it): the last code read stands, as when a process cannot be opened.
        if (reaped < 0 && errno != EINTR)
            break;
        QCoreApplication::processEvents();
        sleepUntilEndOr(processFd);
    }
    if (processFd >= 0)
        close(processFd);
    return exitCode;
}
