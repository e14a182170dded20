#pragma once

#include <QString>
#include <QStringList>

#include "exchange/vcardexport.h"

// What the command line asks for. With no options the window starts, and
// files named on the line (a file manager's "Open With") are imported into it.
struct StartOptions {
    enum class Mode { Window, Import, ExportVCard, Snapshots, Restore, SyncAccount, Sync, Help, Invalid };
    Mode mode = Mode::Window;
    QStringList files;
    QString exportPath;
    // The snapshot --restore names.
    QString snapshot;
    VCardVersion version = VCardVersion::V40;
    // --sync-account's server address and user; the password comes on
    // standard input, never on the line.
    QString syncServer;
    QString syncUser;
    // Plain http to another machine, which sends the password as it is.
    bool insecure = false;
    // A self-signed certificate's SHA-256 fingerprint, accepted.
    QString trustedFingerprint;
    bool allowMassDelete = false;
    // What is wrong with the line, for Invalid.
    QString error;

    // The arguments after the program's name.
    static StartOptions parse(const QStringList& arguments);
    static QString usage();
};
