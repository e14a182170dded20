#pragma once

#include <QCursor>
#include <QString>

// Reads a Windows cursor file (.cur) with its hotspot; throws when the file
// cannot be read as one.
QCursor loadCursorFile(const QString& path);
