#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh home for one test: XDG data and config folders of its own and an
// application folder holding a copy of the built template database.
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

    // Creates the data folders and copies the template into place.
    void installDataFile() const;

private:
    QTemporaryDir mRoot;
    QByteArray mOldData, mOldConfig, mOldHome;
};

// The template database the build made.
QString builtTemplate();

// A command-line tool the tests themselves run (unzip, pdftotext, ...), from
// the system folders: the tests' own search path holds only stand-ins.
// Empty when it is not installed.
QString systemTool(const QString& name);
