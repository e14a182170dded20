#include "sync/syncsecret.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <qt6keychain/keychain.h>

#include "base/apperror.h"
#include "store/paths.h"

namespace {

const QString kService = QStringLiteral("Rondexa sync");

// Runs a keychain job to its end on the calling thread; true when it did
// what it was asked, after take() had the finished job. The job deletes
// itself: the library still refers to a job after it says it finished.
template <typename JobType, typename Take> bool finished(JobType* job, Take take)
{
    // Never the library's own fallback: that is a plain settings file.
    job->setInsecureFallback(false);
    job->setAutoDelete(true);
    bool done = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* ended) {
        done = ended->error() == QKeychain::NoError;
        if (done)
            take(*static_cast<JobType*>(ended));
        loop.quit();
    });
    job->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done;
}

} // namespace

QString SyncSecret::path()
{
    return xdgBaseFolder("XDG_CONFIG_HOME", ".config") + QStringLiteral("/rondexa/sync-password");
}

SyncSecret::Kept SyncSecret::store(const QString& account, const QString& password)
{
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(account);
    job->setTextData(password);
    if (finished(job, [](const QKeychain::WritePasswordJob&) {})) {
        // No copy lingers where a Secret Service was not running before.
        QFile::remove(path());
        return Kept::SecretService;
    }
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
    return Kept::File;
}

QString SyncSecret::load(const QString& account)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(account);
    QString password;
    if (finished(job, [&password](const QKeychain::ReadPasswordJob& read) { password = read.textData(); }))
        return password;
    QFile in(path());
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QByteArray line = in.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString SyncSecret::whereKept(Kept kept)
{
    if (kept == Kept::SecretService)
        return QStringLiteral("The password is kept in the desktop's Secret Service.");
    return QStringLiteral("No Secret Service runs here: the password is kept in %1, which only you can read.")
        .arg(path());
}
