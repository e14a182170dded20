#pragma once

#include <QString>

// The folder that holds the executable, without a trailing "/". Tests point it
// at a folder of their own.
QString applicationFolder();
void setApplicationFolder(const QString& folder);

// Only folder 35 (the writable data folder shared by the user's programs) is
// ever asked for; empty text when it cannot be determined.
QString getSpecialFolder(int folder);

// True when the path's date and time can be read: files and folders alike.
bool fileExists(const QString& path);
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

DataPaths dataPaths();

// The path that a connection string names after "Data Source=" and its blank.
QString dataSourceOf(const QString& connectionString);
