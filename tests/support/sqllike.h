#pragma once

struct sqlite3;
class CaseFolding;

// The program's LIKE (store/likepattern: "%" for any run, "_" for one
// character, letter case fully folded) as SQL's LIKE on one connection. The
// program itself asks SQLite for no LIKE: the window's search reads the rows
// and matches them itself (store/contactsearch). The tests and the fuzz
// targets run the search statement (contact::searchQuery) through SQLite with
// this LIKE and check that the window's search finds the very same contacts,
// and that a pattern compiled once and reused row after row answers as a
// fresh one does.
void registerUnicodeLike(sqlite3* db, const CaseFolding& folding);

// One LIKE on a freshly compiled pattern; escape is 0 when the pattern has
// none.
bool likeMatches(const char* pattern, int patternSize, const char* text, int textSize, char32_t escape,
                 const CaseFolding& folding);
