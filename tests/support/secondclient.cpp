#include "support/secondclient.h"

#include <QDir>
#include <QFile>
#include <QProcess>

SecondClient::SecondClient(const QString& folder, const QUrl& book, const QString& user, const QString& password)
    : mFolder(folder), mCards(folder + QStringLiteral("/cards"))
{
    QDir().mkpath(mCards);
    QDir().mkpath(folder + QStringLiteral("/status"));
    QFile config(folder + QStringLiteral("/config"));
    config.open(QIODevice::WriteOnly);
    // One collection, the address book itself; the server wins vdirsyncer's
    // own conflicts, which the tests never make.
    config.write(QStringLiteral("[general]\nstatus_path = \"%1/status\"\n\n"
                                "[pair phone]\na = \"phone_local\"\nb = \"phone_remote\"\ncollections = null\n"
                                "conflict_resolution = \"b wins\"\n\n"
                                "[storage phone_local]\ntype = \"filesystem\"\npath = \"%2\"\nfileext = \".vcf\"\n\n"
                                "[storage phone_remote]\ntype = \"carddav\"\nurl = \"%3\"\nusername = \"%4\"\n"
                                "password = \"%5\"\n")
                     .arg(folder, mCards, book.toString(), user, password)
                     .toUtf8());
}

bool SecondClient::run(const QStringList& arguments)
{
    QProcess process;
    // Debian's own vdirsyncer and Python, whatever else the machine has.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), mFolder);
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/usr/bin/vdirsyncer"),
                  QStringList{QStringLiteral("-c"), mFolder + QStringLiteral("/config")} + arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        mError = QStringLiteral("vdirsyncer %1 failed: %2")
                     .arg(arguments.join(u' '), QString::fromUtf8(process.readAll()) + process.errorString());
        return false;
    }
    return true;
}

bool SecondClient::sync()
{
    if (!mDiscovered && !run({QStringLiteral("discover")}))
        return false;
    mDiscovered = true;
    return run({QStringLiteral("sync")});
}

QStringList SecondClient::files() const
{
    return QDir(mCards).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
}

QByteArray SecondClient::read(const QString& name) const
{
    QFile file(mCards + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SecondClient::write(const QString& name, const QByteArray& card) const
{
    QFile file(mCards + u'/' + name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(card);
}

void SecondClient::remove(const QString& name) const
{
    QFile::remove(mCards + u'/' + name);
}

QString SecondClient::fileOf(const QByteArray& uid) const
{
    for (const QString& name : files()) {
        if (read(name).contains("UID:" + uid))
            return name;
    }
    return QString();
}
