#include "sync/syncsecret.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include <QEventLoop>
#include <qt6keychain/keychain.h>

#include "base/apperror.h"
#include "store/paths.h"
#include "store/privatefolder.h"

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

namespace {

const QString kFolder = QStringLiteral("rondexa");
const QByteArray kFile = "sync-password";

QString configBase()
{
    return xdgBaseFolder("XDG_CONFIG_HOME", ".config");
}

} // namespace

QString SyncSecret::path()
{
    return configBase() + u'/' + kFolder + u'/' + QString::fromLatin1(kFile);
}

SyncSecret::Kept SyncSecret::store(const QString& account, const QString& password)
{
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(account);
    job->setTextData(password);
    if (finished(job, [](const QKeychain::WritePasswordJob&) {})) {
        // No copy lingers where a Secret Service was not running before.
        if (const std::optional<PrivateFolder> folder = PrivateFolder::existing(configBase(), kFolder))
            ::unlinkat(folder->descriptor(), kFile.constData(), 0);
        return Kept::SecretService;
    }
    // Written whole beside the old one and renamed over it, inside a folder
    // that is the user's alone and reached without following a link.
    const PrivateFolder folder = PrivateFolder::make(configBase(), kFolder);
    const QByteArray partial = kFile + ".new";
    const QByteArray text = password.toUtf8() + '\n';
    FileDescriptor out = folder.openFile(partial, O_WRONLY | O_CREAT | O_TRUNC);
    const bool written = out.isOpen() && ::write(out.get(), text.constData(), static_cast<size_t>(text.size())) ==
                                             static_cast<ssize_t>(text.size()) &&
                         ::fsync(out.get()) == 0;
    if (!written || ::renameat(folder.descriptor(), partial.constData(), folder.descriptor(), kFile.constData()) != 0)
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(path(), QString::fromLocal8Bit(std::strerror(errno))));
    return Kept::File;
}

QString SyncSecret::load(const QString& account)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(account);
    QString password;
    if (finished(job, [&password](const QKeychain::ReadPasswordJob& read) { password = read.textData(); }))
        return password;
    const std::optional<PrivateFolder> folder = PrivateFolder::existing(configBase(), kFolder);
    if (!folder)
        return QString();
    const FileDescriptor in = folder->openFile(kFile, O_RDONLY);
    QByteArray text;
    char buffer[4096];
    for (ssize_t got = 0; in.isOpen() && (got = ::read(in.get(), buffer, sizeof buffer)) > 0;)
        text.append(buffer, got);
    return QString::fromUtf8(text.left(text.indexOf('\n')));
}

QString SyncSecret::whereKept(Kept kept)
{
    if (kept == Kept::SecretService)
        return QStringLiteral("The password is kept in the desktop's Secret Service.");
    return QStringLiteral("No Secret Service runs here: the password is kept in %1, which only you can read.")
        .arg(path());
}
