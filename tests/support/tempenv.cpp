#include "support/tempenv.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "store/connection.h"
#include "store/paths.h"
#include "store/session.h"

QString builtTemplate()
{
    return QStringLiteral(RONDEXA_BUILD_DIR "/dbContacts.mdb");
}

void copyTemplateTo(const QString& path)
{
    // The template comes from the build's template_db target, which a test
    // executable alone does not make.
    if (!QFile::copy(builtTemplate(), path))
        ADD_FAILURE() << "cannot copy the template database " << builtTemplate().toStdString() << " to "
                      << path.toStdString();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
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
        copyTemplateTo(templateFile());
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
    copyTemplateTo(dataFile());
    QFile(dataFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

QString firstValueIn(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    QString value;
    if (statement && sqlite3_step(statement) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}
