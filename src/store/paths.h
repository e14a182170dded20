#pragma once

#include <QString>

// Only folder 35 (the writable data folder shared by the user's programs) is
// ever asked for; empty text when it cannot be determined.
QString GetSpecialFolder(int folder);

// The user's home folder: HOME when it is an absolute path, else the home the
// account database names; empty when neither is known.
QString homeFolder();
// A base folder as the XDG base-directory rules give it: the variable when it
// holds an absolute path (relative ones are ignored), else fallback below the
// home folder (".local/share", ".config", ".cache"); empty without a home.
QString xdgBaseFolder(const char* variable, const char* fallbackBelowHome);

// The contents of a plain file (or a link to one). Anything else (a pipe, a
// device, a folder) is refused without ever waiting on it. The error reads
// "Cannot read " what path ": " and the reason.
QByteArray readRegularFile(const QString& path, const QString& what = QString());
// True when nothing is there or a plain file (or a link to one) is.
bool absentOrRegularFile(const QString& path);

// True when the path's date and time can be read: files and folders alike.
bool FileExists(const QString& path);
// Any file or folder of that name.
bool fileOrFolderExists(const QString& path);
// A plain file only: folders and hidden files do not count.
bool plainFileExists(const QString& path);

struct DataPaths {
    QString makerFolder;
    QString dataFolder;
    QString dataFile;
    QString templateFile;
    QString connectionString;
};

// The data folder's paths, and the template's in the application folder.
DataPaths dataPaths(const QString& applicationFolder);

// The path that a connection string names after "Data Source=" and its blank.
QString dataSourceOf(const QString& connectionString);
