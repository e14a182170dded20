#pragma once

#include <QString>

// The sync account's password, out of the settings and the data file: in a
// file of its own that only the user can read, in a folder only the user can
// enter.
class SyncSecret {
public:
    // The file under the user's configuration folder.
    static QString path();
    // Throws AppError when it cannot be written.
    static void store(const QString& password);
    // Empty when none was stored.
    static QString load();
};
