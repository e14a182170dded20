#pragma once

#include <memory>

#include <QString>
#include <QTemporaryDir>

#include "base/messages.h"
#include "store/session.h"
#include "support/fakes.h"

class Connection;

// A fresh home for one test: XDG data and config folders of its own, an
// application folder holding a copy of the built template database, and a
// session over them whose message boxes are scripted and whose end is
// recorded.
class TempEnv {
public:
    explicit TempEnv(bool withTemplate = true);
    ~TempEnv();

    QString root() const { return mRoot.path(); }
    QString appFolder() const { return mRoot.path() + QStringLiteral("/app"); }
    QString dataHome() const { return mRoot.path() + QStringLiteral("/data"); }
    QString configHome() const { return mRoot.path() + QStringLiteral("/config"); }
    QString dataFile() const { return dataHome() + QStringLiteral("/Marrowind/Rondexa/dbContacts.mdb"); }
    QString templateFile() const { return appFolder() + QStringLiteral("/dbContacts.mdb"); }
    QString connectionString() const;

    Session& session() { return *mSession; }
    ScriptedMessages& messages() { return mScript; }
    Messages& seam() { return mMessages; }
    RecordedEnd& end() { return mEnd; }
    std::unique_ptr<Connection>& gConn() { return mSession->gConn; }

    // Creates the data folders and copies the template into place.
    void installDataFile() const;

private:
    QTemporaryDir mRoot;
    QByteArray mOldData, mOldConfig, mOldHome;
    ScriptedMessages mScript;
    Messages mMessages{mScript};
    RecordedEnd mEnd;
    std::unique_ptr<Session> mSession;
};

// The template database the build made.
QString builtTemplate();

// A copy of the built template database; a failure fails the test.
void copyTemplateTo(const QString& path);

// Writes the file whole, making its folder first; a failure fails the test.
void writeFile(const QString& path, const QByteArray& bytes);

// The first column of the first row a query gives on a file opened read-only
// by plain SQLite ("PRAGMA integrity_check" says "ok" for a sound file);
// empty when there is none.
QString firstValueIn(const QString& path, const char* sql);

// A command-line tool the tests themselves run (unzip, pdftotext, ...), from
// the system folders: the tests' own search path holds only stand-ins.
// Empty when it is not installed.
QString systemTool(const QString& name);
