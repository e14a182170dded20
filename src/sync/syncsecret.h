#pragma once

#include <QString>

// The sync account's password, out of the settings and the data file: in the
// desktop's Secret Service where one runs, else in a file of its own that
// only the user can read, in a folder only the user can enter.
class SyncSecret {
public:
    enum class Kept { SecretService, File };

    // account names the password among others, say "user@host".
    // Throws AppError when it can be kept nowhere.
    static Kept store(const QString& account, const QString& password);
    // Empty when none was stored.
    static QString load(const QString& account);
    // The file, when there is no Secret Service.
    static QString path();
    // What a person is told once, when the password is stored.
    static QString whereKept(Kept kept);
};
