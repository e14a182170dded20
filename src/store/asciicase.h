#pragma once

#include <algorithm>

#include <QByteArrayView>

// ASCII's capital letters as small ones, every other value as it is: the
// whole of letter case for SQLite's NOCASE, and the shortcut the full case
// folding takes for ASCII text outside the Turkic locales (whose "I" folds to
// a dotless i). Takes and gives a char, a byte or a code point alike.
template <typename Char> constexpr Char asciiLower(Char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c + ('a' - 'A')) : c;
}

// True when every byte is ASCII: such a text is its own UTF-8, Latin-1 and
// ASCII alike, and folds to ASCII.
inline bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
