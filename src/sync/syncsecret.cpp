#include "sync/syncsecret.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "base/apperror.h"
#include "store/paths.h"

QString SyncSecret::path()
{
    return xdgBaseFolder("XDG_CONFIG_HOME", ".config") + QStringLiteral("/rondexa/sync-password");
}

void SyncSecret::store(const QString& password)
{
    const QString file = path();
    const QString folder = QFileInfo(file).absolutePath();
    // The file is written in its folder before it gets its own permissions:
    // the folder is what keeps others out meanwhile.
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        throw AppError(QStringLiteral("Cannot make the folder %1 for the password.").arg(folder));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(password.toUtf8() + '\n') < 0 || !out.commit() ||
        !QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner))
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(file, out.errorString()));
}

QString SyncSecret::load()
{
    QFile in(path());
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QByteArray line = in.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return QString::fromUtf8(line);
}
