#pragma once

#include <QString>
#include <QStringList>

#include "exchange/vcardexport.h"

// What the command line asks for. With no options the window starts, and
// files named on the line (a file manager's "Open With") are imported into it.
struct StartOptions {
    enum class Mode { Window, Import, ExportVCard, Snapshots, Restore, Help, Invalid };
    Mode mode = Mode::Window;
    QStringList files;
    QString exportPath;
    // The snapshot --restore names.
    QString snapshot;
    VCardVersion version = VCardVersion::V40;
    // What is wrong with the line, for Invalid.
    QString error;

    // The arguments after the program's name.
    static StartOptions parse(const QStringList& arguments);
    static QString usage();
};
