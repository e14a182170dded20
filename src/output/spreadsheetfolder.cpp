#include "output/spreadsheetfolder.h"

#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <QFile>
#include <QRandomGenerator>

#include "base/apperror.h"
#include "store/filedescriptor.h"
#include "store/paths.h"
#include "store/privatefolder.h"

namespace {

const char kBelowBase[] = "Marrowind/Rondexa/workbooks";
const char kPrefix[] = "Rondexa-";
const char kSuffix[] = ".xlsx";
const int kNameAttempts = 100;

QString baseFolder()
{
    QString base = xdgBaseFolder("XDG_CACHE_HOME", ".cache");
    if (base.isEmpty())
        base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return base.startsWith(QLatin1Char('/')) ? base : QString();
}

PrivateFolder openFolder()
{
    const QString base = baseFolder();
    if (base.isEmpty())
        throw AppError(QStringLiteral("There is no cache folder to put the workbook in"), AppError::kPathNotFound);
    return PrivateFolder::make(base, QLatin1String(kBelowBase));
}

bool isWorkbookName(const char* name)
{
    const size_t length = std::strlen(name);
    const size_t prefix = sizeof(kPrefix) - 1;
    const size_t suffix = sizeof(kSuffix) - 1;
    return length > prefix + suffix && std::strncmp(name, kPrefix, prefix) == 0 &&
           std::strcmp(name + length - suffix, kSuffix) == 0;
}

// Only plain files of the program's own naming.
void removeWorkbooksOlderThan(const PrivateFolder& folder, long long seconds)
{
    const time_t oldest = std::time(nullptr) - static_cast<time_t>(seconds);
    folder.removeFiles([oldest](const char* name, const struct stat& info) {
        return isWorkbookName(name) && S_ISREG(info.st_mode) && info.st_mtime < oldest;
    });
}

// A copy of the program that is still running holds a shared lock on each
// workbook it exported; one that cannot be opened is left to the day's limit.
bool heldByARunningCopy(int folder, const char* name)
{
    const FileDescriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    return !file.isOpen() || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0;
}

} // namespace

QString SpreadsheetFolder::location()
{
    const QString base = baseFolder();
    return base.isEmpty() ? QString() : base + QLatin1Char('/') + QLatin1String(kBelowBase);
}

void SpreadsheetFolder::prepare()
{
    removeWorkbooksOlderThan(openFolder(), kMaxAgeSeconds);
}

void SpreadsheetFolder::removeLeftovers()
{
    const std::optional<PrivateFolder> folder = PrivateFolder::existing(baseFolder(), QLatin1String(kBelowBase));
    if (!folder)
        return;
    folder->removeFiles([&folder](const char* name, const struct stat& info) {
        return isWorkbookName(name) && S_ISREG(info.st_mode) && !heldByARunningCopy(folder->descriptor(), name);
    });
}

QString SpreadsheetFolder::reserveWorkbook()
{
    const PrivateFolder folder = openFolder();
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        QByteArray name = kPrefix;
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(static_cast<int>(sizeof(kLetters) - 1))];
        name += kSuffix;
        if (std::optional<FileDescriptor> file = folder.createFile(name)) {
            // Held until this copy of the program ends, however it ends: the
            // lock goes with the process and tells a later start the
            // workbook may still be on its way to the spreadsheet program.
            ::flock(file->get(), LOCK_SH);
            file->release();
            return folder.path() + QLatin1Char('/') + QFile::decodeName(name);
        }
    }
    throw AppError(QStringLiteral("Cannot create a workbook in %1: every name tried was taken").arg(folder.path()),
                   AppError::kPathNotFound);
}
