#include "output/spreadsheetfolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "base/apperror.h"
#include "store/paths.h"

namespace {

const char kSubfolder[] = "/Marrowind/Rondexa/workbooks";
const char kPrefix[] = "Rondexa-";
const char kSuffix[] = ".xlsx";
const int kPathNotFound = 76;

[[noreturn]] void failWith(const QString& what, const QString& path, int systemError)
{
    throw AppError(QStringLiteral("%1 %2: %3").arg(what, path, qt_error_string(systemError)), kPathNotFound);
}

void makeFolder(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) == 0)
        return;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        failWith(QStringLiteral("Cannot create the folder"), QFile::decodeName(path), errno);
}

bool isWorkbookName(const char* name)
{
    const size_t length = std::strlen(name);
    const size_t prefix = sizeof(kPrefix) - 1;
    const size_t suffix = sizeof(kSuffix) - 1;
    return length > prefix + suffix && std::strncmp(name, kPrefix, prefix) == 0 &&
           std::strcmp(name + length - suffix, kSuffix) == 0;
}

void removeWorkbooksOlderThan(const QByteArray& folder, long long seconds)
{
    struct DirCloser {
        void operator()(DIR* dir) const { closedir(dir); }
    };
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.constData()));
    if (!dir)
        return;
    const time_t oldest = std::time(nullptr) - static_cast<time_t>(seconds);
    while (const dirent* entry = readdir(dir.get())) {
        if (!isWorkbookName(entry->d_name))
            continue;
        struct stat info {};
        // Only plain files of the program's own naming; a link is never
        // followed out of the folder.
        if (fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_mtime < oldest)
            unlinkat(dirfd(dir.get()), entry->d_name, 0);
    }
}

} // namespace

QString SpreadsheetFolder::location()
{
    QString base = xdgBaseFolder("XDG_CACHE_HOME", ".cache");
    if (base.isEmpty())
        base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!base.startsWith(QLatin1Char('/')))
        return QString();
    return base + QLatin1String(kSubfolder);
}

void SpreadsheetFolder::prepare()
{
    const QString folder = location();
    if (folder.isEmpty())
        throw AppError(QStringLiteral("There is no cache folder to put the workbook in"), kPathNotFound);
    const QByteArray path = QFile::encodeName(folder);
    // Every missing level is made private, the cache folder too when this is
    // the first program to use it.
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        makeFolder(path.left(slash));
    makeFolder(path);

    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        failWith(QStringLiteral("Cannot read the folder"), folder, errno);
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        throw AppError(QStringLiteral("The folder %1 is not a private folder of this user").arg(folder), kPathNotFound);
    if ((info.st_mode & 07777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        failWith(QStringLiteral("Cannot make private the folder"), folder, errno);
    removeWorkbooksOlderThan(path, kMaxAgeSeconds);
}

void SpreadsheetFolder::removeLeftovers()
{
    const QString folder = location();
    if (!folder.isEmpty())
        removeWorkbooksOlderThan(QFile::encodeName(folder), kLeftoverSeconds);
}

QString SpreadsheetFolder::reserveWorkbook()
{
    QByteArray path = QFile::encodeName(location()) + '/' + kPrefix + "XXXXXX" + kSuffix;
    const int fd = ::mkstemps(path.data(), static_cast<int>(sizeof(kSuffix) - 1));
    if (fd < 0)
        failWith(QStringLiteral("Cannot create a workbook in"), location(), errno);
    ::close(fd);
    return QFile::decodeName(path);
}
