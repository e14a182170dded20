#pragma once

#include <QString>

// Folders that hold contacts are the owner's alone.
void makeFolder(const QString& path);

// Copies the template into place without ever overwriting a file that is
// already there, and without leaving a half-written data file behind.
void copyTemplate(const QString& templateFile, const QString& dataFile);

// Where path really is: the links at its end followed and its folder
// resolved, as far as it exists; the file itself need not exist.
QString realLocation(const QString& path);

// True when a write to path would land on the data file or on a file SQLite
// keeps beside it (its -journal, -wal and -shm), by any name, link or hard
// link, whether that file exists yet or not: a write there costs every contact.
bool isDataFileOrCompanion(const QString& path, const QString& dataFile);
