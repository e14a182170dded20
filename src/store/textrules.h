#pragma once

#include <QByteArrayView>
#include <QString>

struct sqlite3;
class CaseFolding;

// Replaces LIKE on a connection with one that folds letter case in every
// alphabet, not only in ASCII. Collations are never replaced: an index
// another program built over the file must stay valid.
void registerTextRules(sqlite3* db, const CaseFolding& folding);

// True when a table, index, view or trigger of the file uses LIKE (or the
// schema cannot be read): replacing LIKE would then change what the file's
// own rules compute.
bool schemaUsesLike(sqlite3* db);

// The list's name order: the root collation at secondary strength (letter
// case ignored, accents counted, every script by its own alphabet). <0, 0 or
// >0 for two UTF-8 texts.
int compareNoCase(const char* a, int aSize, const char* b, int bSize);

// LIKE with "%" for any run and "_" for one character, letter case folded.
// escape is 0 when the pattern has no escape character.
bool likeMatches(const char* pattern, int patternSize, const char* text, int textSize, char32_t escape,
                 const CaseFolding& folding);
