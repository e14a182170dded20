#include "store/privatefolder.h"

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "base/apperror.h"

namespace {

struct Failure {
    QString what;
    QString path;
    int error = 0;
};

[[noreturn]] void fail(const Failure& failure)
{
    const QString reason =
        failure.error != 0 ? QStringLiteral("%1 %2: %3").arg(failure.what, failure.path, qt_error_string(failure.error))
                           : failure.what.arg(failure.path);
    throw AppError(reason, AppError::kPathNotFound);
}

// Every missing level of the base is made for the user alone, the base too
// when this is the first program to use it. A level that is there is taken
// as it is, a link too: the base is the user's own choice.
std::optional<Failure> makeBase(const QByteArray& base)
{
    for (qsizetype slash = base.indexOf('/', 1);; slash = base.indexOf('/', slash + 1)) {
        const QByteArray level = slash < 0 ? base : base.left(slash);
        struct stat info {};
        if (::stat(level.constData(), &info) != 0 && ::mkdir(level.constData(), 0700) != 0 && errno != EEXIST)
            return Failure{QStringLiteral("Cannot create the folder"), QFile::decodeName(level), errno};
        if (slash < 0)
            return std::nullopt;
    }
}

// Opens base/below one level at a time; a failure is returned, not thrown,
// so that a look at a folder that may not be there need not catch.
std::optional<Failure> openLevels(const QString& base, const QString& below, bool make, FileDescriptor& folder)
{
    const QByteArray basePath = QFile::encodeName(base);
    if (!base.startsWith(QLatin1Char('/')))
        return Failure{QStringLiteral("There is no folder to keep %1 in"), below};
    if (make) {
        if (std::optional<Failure> failed = makeBase(basePath))
            return failed;
    }
    folder = FileDescriptor(::open(basePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return Failure{QStringLiteral("Cannot open the folder"), base, errno};
    QString path = base;
    const QStringList levels = below.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < levels.size(); ++i) {
        path += QLatin1Char('/') + levels[i];
        const QByteArray name = QFile::encodeName(levels[i]);
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        FileDescriptor next(::openat(folder.get(), name.constData(), flags));
        if (!next.isOpen() && errno == ENOENT && make) {
            if (::mkdirat(folder.get(), name.constData(), 0700) != 0 && errno != EEXIST)
                return Failure{QStringLiteral("Cannot create the folder"), path, errno};
            next = FileDescriptor(::openat(folder.get(), name.constData(), flags));
        }
        struct stat info {};
        // O_NOFOLLOW refuses a link with ELOOP, O_DIRECTORY anything but a
        // folder; either way it is no folder of the program's.
        if (!next.isOpen() && errno != ELOOP && errno != ENOTDIR)
            return Failure{QStringLiteral("Cannot open the folder"), path, errno};
        if (!next.isOpen() || ::fstat(next.get(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
            return Failure{QStringLiteral("The folder %1 is not a private folder of this user"), path};
        if (i + 1 == levels.size() && (info.st_mode & 07777) != 0700 && ::fchmod(next.get(), 0700) != 0)
            return Failure{QStringLiteral("Cannot make private the folder"), path, errno};
        folder = std::move(next);
    }
    return std::nullopt;
}

} // namespace

PrivateFolder PrivateFolder::make(const QString& base, const QString& below)
{
    FileDescriptor folder;
    if (const std::optional<Failure> failed = openLevels(base, below, true, folder))
        fail(*failed);
    return PrivateFolder(base + QLatin1Char('/') + below, std::move(folder));
}

std::optional<PrivateFolder> PrivateFolder::existing(const QString& base, const QString& below)
{
    FileDescriptor folder;
    if (openLevels(base, below, false, folder))
        return std::nullopt;
    return PrivateFolder(base + QLatin1Char('/') + below, std::move(folder));
}

void PrivateFolder::removeFiles(const std::function<bool(const char* name, const struct stat& info)>& which) const
{
    struct DirCloser {
        void operator()(DIR* dir) const { closedir(dir); }
    };
    // The listing gets a descriptor of its own: closedir() closes it.
    const int listed = ::openat(mFolder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(listed));
    if (!dir) {
        ::close(listed);
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat info {};
        if (::fstatat(mFolder.get(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode) &&
            which(entry->d_name, info))
            ::unlinkat(mFolder.get(), entry->d_name, 0);
    }
}

std::optional<FileDescriptor> PrivateFolder::createFile(const QByteArray& name) const
{
    FileDescriptor file = openFile(name, O_RDWR | O_CREAT | O_EXCL);
    if (file.isOpen())
        return file;
    if (errno == EEXIST)
        return std::nullopt;
    fail({QStringLiteral("Cannot create a file in"), mPath, errno});
}

FileDescriptor PrivateFolder::openFile(const QByteArray& name, int flags) const
{
    return FileDescriptor(::openat(mFolder.get(), name.constData(), flags | O_NOFOLLOW | O_CLOEXEC, 0600));
}
