#pragma once

#include <QString>

// Folders that hold contacts are the owner's alone.
void makeFolder(const QString& path);

// Copies the template into place without ever overwriting a file that is
// already there, and without leaving a half-written data file behind.
void copyTemplate(const QString& templateFile, const QString& dataFile);
