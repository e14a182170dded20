#include "support/tempenv.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "store/connection.h"
#include "store/paths.h"
#include "store/session.h"

QString builtTemplate()
{
    return QStringLiteral(RONDEXA_BUILD_DIR "/dbContacts.mdb");
}

QString systemTool(const QString& name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}

TempEnv::TempEnv(bool withTemplate)
{
    mOldData = qgetenv("XDG_DATA_HOME");
    mOldConfig = qgetenv("XDG_CONFIG_HOME");
    mOldHome = qgetenv("HOME");
    QDir().mkpath(appFolder());
    QDir().mkpath(dataHome());
    QDir().mkpath(configHome());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("HOME", QFile::encodeName(root()));
    // After the environment: the session's view settings take their file from it.
    mSession = std::make_unique<Session>(mMessages, mEnd, appFolder());
    if (withTemplate)
        QFile::copy(builtTemplate(), templateFile());
}

TempEnv::~TempEnv()
{
    mSession.reset();
    qputenv("XDG_DATA_HOME", mOldData);
    qputenv("XDG_CONFIG_HOME", mOldConfig);
    qputenv("HOME", mOldHome);
}

QString TempEnv::connectionString() const
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + dataFile();
}

void TempEnv::installDataFile() const
{
    QDir().mkpath(dataHome() + QStringLiteral("/Marrowind/Rondexa"));
    QFile::copy(builtTemplate(), dataFile());
    QFile(dataFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}
