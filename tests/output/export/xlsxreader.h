#pragma once

#include <map>

#include <QString>

// A written workbook read back the way a spreadsheet program would see it.
// Needs the unzip command (Debian package unzip).
struct SheetContents {
    bool ok = false;
    // Cell reference ("A1") to its text.
    std::map<QString, QString> cells;
    // Cell reference to its type attribute ("s" for a shared text,
    // "inlineStr" for a text stored in its cell).
    std::map<QString, QString> types;
    // Column number (from 1) to its width in characters.
    std::map<int, double> widths;
};

SheetContents readFirstSheet(const QString& workbook);

// The member of the zip file, or an empty array when it is not there.
QByteArray zipMember(const QString& zip, const QString& member);
