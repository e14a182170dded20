#pragma once

#include <random>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "storeprobe.h"

// One broken data file, with a label that says how it was broken.
struct DamagedVariant {
    std::string label;
    QByteArray bytes;
};

// What an independent look at a file finds, without the program's code.
enum class Damage {
    // SQLite refuses it, integrity_check objects, or tblContact has other
    // columns: the damage a check at opening can see.
    Visible,
    // Sound to integrity_check with the right columns, yet the rows read
    // differently or not at all: nothing at opening could tell.
    Invisible,
    // The same contacts as the sound file.
    None,
};

struct Verdict {
    Damage damage = Damage::None;
    QString detail;
};

// Opens a copy in its own scratch folder with the plain SQLite library and
// compares it with the sound file's rows.
Verdict examine(const QByteArray& bytes, const QString& scratchFolder, const std::vector<StoredRow>& soundRows);

// Variants of a sound file of several pages: truncations that lose used
// pages, random bytes over the header's and the b-tree pages' structural
// fields and over whole pages, zeroed pages, files that are no database.
std::vector<DamagedVariant> damagedVariants(const QByteArray& sound, std::mt19937_64& random);

// Sound SQLite files whose tblContact has other columns or another order.
std::vector<DamagedVariant> otherLayouts(const QString& scratchFolder);

// A database made from the statements, as bytes.
QByteArray databaseFrom(const QString& scratchFolder, const QStringList& statements);
