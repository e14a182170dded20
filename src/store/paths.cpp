#include "store/paths.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString gApplicationFolder;

const int kCommonAppData = 35;

} // namespace

QString applicationFolder()
{
    if (!gApplicationFolder.isEmpty())
        return gApplicationFolder;
    return QCoreApplication::applicationDirPath();
}

void setApplicationFolder(const QString& folder)
{
    gApplicationFolder = folder;
}

QString getSpecialFolder(int folder)
{
    if (folder != kCommonAppData)
        return QString();
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    // On a new account ~/.local/share may not exist yet; the base-directory
    // rules say to create it, for the owner only. Whatever cannot be made
    // here shows up as the maker folder's own failure.
    if (!path.isEmpty() && !fileExists(path)) {
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString prefix;
        for (const QString& part : parts) {
            prefix += QLatin1Char('/') + part;
            ::mkdir(QFile::encodeName(prefix).constData(), 0700);
        }
    }
    return path;
}

bool fileExists(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool fileOrFolderExists(const QString& path)
{
    return fileExists(path);
}

bool plainFileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

DataPaths dataPaths()
{
    const QString common = getSpecialFolder(kCommonAppData);
    DataPaths paths;
    paths.makerFolder = common + QStringLiteral("/Marrowind");
    paths.dataFolder = common + QStringLiteral("/Marrowind/") + QStringLiteral("Rondexa");
    paths.dataFile = paths.dataFolder + QStringLiteral("/dbContacts.mdb");
    paths.templateFile = applicationFolder() + QStringLiteral("/dbContacts.mdb");
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
