#include "platform/programstart.h"

#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QFile>

#include "base/apperror.h"

extern char** environ;

namespace {

const int kInvalidCall = 5;

// posix_spawn objects released on every way out.
class SpawnSetup {
public:
    explicit SpawnSetup(bool newSession)
    {
        posix_spawn_file_actions_init(&mActions);
        posix_spawn_file_actions_addopen(&mActions, 0, "/dev/null", O_RDONLY, 0);
        // Descriptors opened without close-on-exec (by a library, or inherited
        // by this process) would otherwise live on in the child.
        posix_spawn_file_actions_addclosefrom_np(&mActions, 3);

        posix_spawnattr_init(&mAttributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&mAttributes, &none);
        // Signals this process ignores (SIGPIPE, for one) would stay ignored in
        // the child and change how it behaves.
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&mAttributes, &defaults);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (newSession)
            flags |= POSIX_SPAWN_SETSID;
        posix_spawnattr_setflags(&mAttributes, flags);
    }
    ~SpawnSetup()
    {
        posix_spawnattr_destroy(&mAttributes);
        posix_spawn_file_actions_destroy(&mActions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &mActions; }
    const posix_spawnattr_t* attributes() const { return &mAttributes; }

private:
    posix_spawn_file_actions_t mActions;
    posix_spawnattr_t mAttributes;
};

pid_t spawn(const QStringList& words, bool newSession)
{
    if (words.isEmpty())
        throw AppError(QStringLiteral("Invalid procedure call or argument"), kInvalidCall);
    std::vector<QByteArray> encoded;
    encoded.reserve(static_cast<size_t>(words.size()));
    for (const QString& word : words)
        encoded.push_back(QFile::encodeName(word));
    std::vector<char*> argv;
    for (QByteArray& word : encoded)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const SpawnSetup setup(newSession);
    pid_t pid = -1;
    // posix_spawnp reports a failed exec (a missing or forbidden program) as
    // its result, so the caller learns of it at once.
    const int rc = posix_spawnp(&pid, argv[0], setup.actions(), setup.attributes(), argv.data(), environ);
    if (rc != 0)
        throw AppError(words.first() + QStringLiteral(": ") + qt_error_string(rc), startErrorNumber(rc));
    return pid;
}

} // namespace

pid_t startProgram(const QStringList& words)
{
    return spawn(words, false);
}

void startDetachedProgram(const QStringList& words)
{
    const pid_t pid = spawn(words, true);
    // Without a wait the ended program would linger as a zombie until this one
    // ends; the waiting thread touches nothing but the process id.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

int startErrorNumber(int systemError)
{
    switch (systemError) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return 53;
    case EACCES:
    case EPERM:
    case ETXTBSY:
        return 70;
    case ENOMEM:
    case EAGAIN:
        return 7;
    case EMFILE:
    case ENFILE:
        return 67;
    default:
        return kInvalidCall;
    }
}
