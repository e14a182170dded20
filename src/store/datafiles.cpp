#include "store/datafiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "base/apperror.h"
#include "store/filedescriptor.h"

namespace {

// The files SQLite may keep beside the data file while it writes.
const char* const kCompanionSuffixes[] = {"", "-journal", "-wal", "-shm"};

// The folder with every link in it resolved, as far as it exists: a data
// file's folder that is still to be made has the same name before and after.
QByteArray resolvedFolder(const QByteArray& folder)
{
    QByteArray existing = folder;
    QByteArray missing;
    char resolved[PATH_MAX];
    while (!::realpath(existing.constData(), resolved)) {
        const qsizetype slash = existing.lastIndexOf('/');
        if (slash <= 0)
            return folder;
        missing.prepend(existing.mid(slash));
        existing.truncate(slash);
    }
    const QByteArray found(resolved);
    return found == "/" && !missing.isEmpty() ? missing : found + missing;
}

// Where a write to path lands: the links at its end followed (as QSaveFile
// follows them), and its folder resolved. The file itself need not exist.
QByteArray landingPlace(QByteArray path, bool followLinks)
{
    if (!path.startsWith('/'))
        path = QFile::encodeName(QDir::currentPath()) + '/' + path;
    for (int hops = 0; followLinks && hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            break;
        const QByteArray next(target, length);
        path = next.startsWith('/') ? next : path.left(path.lastIndexOf('/') + 1) + next;
    }
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray folder = resolvedFolder(slash == 0 ? QByteArray("/") : path.left(slash));
    if (!folder.endsWith('/'))
        folder += '/';
    return folder + path.mid(slash + 1);
}

bool sameFile(const QByteArray& a, const QByteArray& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace

void makeFolder(const QString& path)
{
    // Without a known home the data folder's path would start at the root.
    if (!path.startsWith(QLatin1Char('/')) || path.lastIndexOf(QLatin1Char('/')) == 0)
        throw AppError(QStringLiteral("Cannot create folder %1: there is no home folder to keep it in").arg(path),
                       AppError::kPathNotFound);
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0)
        throwErrno(QStringLiteral("Cannot create folder ") + path, errno);
}

void copyTemplate(const QString& templateFile, const QString& dataFile)
{
    const QByteArray source = QFile::encodeName(templateFile);
    const QByteArray target = QFile::encodeName(dataFile);
    QByteArray temporary = target + ".XXXXXX";

    FileDescriptor in(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throwErrno(QStringLiteral("Cannot read ") + templateFile, errno);
    FileDescriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0)
        throwErrno(QStringLiteral("Cannot create ") + dataFile, errno);
    try {
        ::fchmod(out.get(), 0600);
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
            if (got == 0)
                break;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throwErrno(QStringLiteral("Cannot read ") + templateFile, errno);
            }
            writeAll(out.get(), QByteArrayView(buffer, got), dataFile);
        }
        if (::fsync(out.get()) != 0)
            throwErrno(QStringLiteral("Cannot write ") + dataFile, errno);
        // link() refuses to replace an existing name, so a data file that turned
        // up meanwhile is never overwritten.
        if (::link(temporary.constData(), target.constData()) != 0)
            throwErrno(QStringLiteral("Cannot create ") + dataFile, errno);
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    ::unlink(temporary.constData());
}

bool isDataFileOrCompanion(const QString& path, const QString& dataFile)
{
    if (path.isEmpty() || dataFile.isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(path);
    const QByteArray landing = landingPlace(target, true);
    const QByteArray data = QFile::encodeName(dataFile);
    // SQLite names its companions after the data file's real place; a data
    // file reached through a link may have them beside the link's name too.
    for (const QByteArray& base : {landingPlace(data, false), landingPlace(data, true)}) {
        for (const char* suffix : kCompanionSuffixes) {
            const QByteArray companion = base + suffix;
            // The device and inode catch a hard link and any other name of a
            // file that exists; the place catches one that does not yet.
            if (landing == companion || sameFile(target, companion))
                return true;
        }
    }
    return false;
}

QString missingTemplateText(const DataPaths& paths)
{
    return paths.templateFile + QStringLiteral(" not found");
}

QString realLocation(const QString& path)
{
    return QFile::decodeName(landingPlace(QFile::encodeName(path), true));
}
