#pragma once

#include <QString>

#include "store/paths.h"

// Folders that hold contacts are the owner's alone.
void makeFolder(const QString& path);

// Copies the template into place without ever overwriting a file that is
// already there, and without leaving a half-written data file behind.
void copyTemplate(const QString& templateFile, const QString& dataFile);

// Makes the data folders and, on a first start, the data file from the
// template; false, with nothing copied, when there is no data file and no
// template to make one from. The window's start and the runs without a window
// both start here. Each check and action runs through steps (an ErrorTrap, or
// a NoTrap whose failures throw) under the number the window's start has
// always given it, since its error report quotes that number.
template <class Steps> bool prepareDataFile(const DataPaths& paths, Steps& steps)
{
    if (steps.test(100, [&] { return !fileOrFolderExists(paths.makerFolder); }))
        steps.step(102, [&] { makeFolder(paths.makerFolder); });
    if (steps.test(104, [&] { return !fileOrFolderExists(paths.dataFolder); }))
        steps.step(106, [&] { makeFolder(paths.dataFolder); });
    if (steps.test(108, [&] { return !FileExists(paths.dataFile); })) {
        if (steps.test(110, [&] { return !plainFileExists(paths.templateFile); }))
            return false;
        steps.step(116, [&] { copyTemplate(paths.templateFile, paths.dataFile); });
    }
    return true;
}

// What a start says when there is neither a data file nor a template.
QString missingTemplateText(const DataPaths& paths);

// Where path really is: the links at its end followed and its folder
// resolved, as far as it exists; the file itself need not exist.
QString realLocation(const QString& path);

// True when a write to path would land on the data file or on a file SQLite
// keeps beside it (its -journal, -wal and -shm), by any name, link or hard
// link, whether that file exists yet or not: a write there costs every contact.
bool isDataFileOrCompanion(const QString& path, const QString& dataFile);
