#include "store/paths.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "base/apperror.h"

namespace {

const int kCommonAppData = 35;

} // namespace

QString homeFolder()
{
    const QString home = qEnvironmentVariable("HOME");
    if (home.startsWith(QLatin1Char('/')))
        return home;
    // Without HOME (a service, "env -i") the account's own home still is.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return QFile::decodeName(found->pw_dir);
    return QString();
}

QString xdgBaseFolder(const char* variable, const char* fallbackBelowHome)
{
    QString path = qEnvironmentVariable(variable);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    // The root itself is no place to make the program's folders in.
    if (path.startsWith(QLatin1Char('/')) && path != QLatin1String("/"))
        return path;
    const QString home = homeFolder();
    if (home.isEmpty() || home == QLatin1String("/"))
        return QString();
    return home + QLatin1Char('/') + QLatin1String(fallbackBelowHome);
}

QByteArray readRegularFile(const QString& path, const QString& what)
{
    const QString name = what + path;
    // O_NONBLOCK: opening a named pipe would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(name, qt_error_string(errno)), AppError::kFileAccess);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw AppError(QStringLiteral("Cannot read %1: it is not a plain file").arg(name), AppError::kFileAccess);
    }
    QFile file;
    QByteArray bytes;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        bytes = file.readAll();
    else
        ::close(fd);
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot read %1: %2").arg(name, file.errorString()), AppError::kFileAccess);
    return bytes;
}

bool absentOrRegularFile(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR;
    return S_ISREG(info.st_mode);
}

QString GetSpecialFolder(int folder)
{
    if (folder != kCommonAppData)
        return QString();
    const QString path = xdgBaseFolder("XDG_DATA_HOME", ".local/share");
    // On a new account ~/.local/share may not exist yet; the base-directory
    // rules say to create it, for the owner only. Whatever cannot be made
    // here shows up as the maker folder's own failure.
    if (!path.isEmpty() && !FileExists(path)) {
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString prefix;
        for (const QString& part : parts) {
            prefix += QLatin1Char('/') + part;
            ::mkdir(QFile::encodeName(prefix).constData(), 0700);
        }
    }
    return path;
}

bool FileExists(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool fileOrFolderExists(const QString& path)
{
    return FileExists(path);
}

bool plainFileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

DataPaths dataPaths(const QString& applicationFolder)
{
    const QString common = GetSpecialFolder(kCommonAppData);
    DataPaths paths;
    paths.makerFolder = common + QStringLiteral("/Marrowind");
    paths.dataFolder = common + QStringLiteral("/Marrowind/") + QStringLiteral("Rondexa");
    paths.dataFile = paths.dataFolder + QStringLiteral("/dbContacts.mdb");
    paths.templateFile = applicationFolder + QStringLiteral("/dbContacts.mdb");
    paths.connectionString = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + paths.dataFile;
    return paths;
}

QString dataSourceOf(const QString& connectionString)
{
    const QString key = QStringLiteral("Data Source=");
    const qsizetype at = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    QString path = connectionString.mid(at + key.size());
    const qsizetype end = path.indexOf(QLatin1Char(';'));
    if (end >= 0)
        path.truncate(end);
    if (path.startsWith(QLatin1Char(' ')))
        path.remove(0, 1);
    return path;
}
