#pragma once

#include <QByteArrayView>
#include <QString>

struct sqlite3;

// Replaces NOCASE and LIKE on a connection with versions that ignore letter
// case in every alphabet, not only in ASCII.
void registerTextRules(sqlite3* db);

// The NOCASE order: <0, 0 or >0 for two UTF-8 texts.
int compareNoCase(const char* a, int aSize, const char* b, int bSize);

// LIKE with "%" for any run and "_" for one character, letter case folded.
// escape is 0 when the pattern has no escape character.
bool likeMatches(const char* pattern, int patternSize, const char* text, int textSize, char32_t escape = 0);

// A stored UTF-8 text as it was written. QString::fromUtf8 drops a leading
// zero-width no-break space (it reads it as a byte order mark), which would
// change a contact behind the user's back.
QString textFromUtf8(QByteArrayView text);

// Upper case by the rules of every alphabet ("straße" becomes "STRASSE").
QString upperCase(const QString& text);
