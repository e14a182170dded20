#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// A stored UTF-8 text as it was written. QString::fromUtf8 drops a leading
// zero-width no-break space (it reads it as a byte order mark), which would
// change a contact behind the user's back.
QString textFromUtf8(QByteArrayView text);

// The length of the valid UTF-8 sequence at text[at] (a lead byte at 0x80 or
// above) and its code point; 0 when it is not valid UTF-8 as QString reads it
// (overlong, a surrogate, past U+10FFFF, cut short).
int utf8SequenceAt(QByteArrayView text, qsizetype at, char32_t* codePoint);

// The one rule for a text that says nothing: empty, or nothing but white
// space as QString::trimmed() sees it. The editor refuses such a name, the
// import skips a card that has one, and a blank part of a name or an address
// counts as none.
bool isBlank(QStringView text);
// The same for stored UTF-8; text that is not valid UTF-8 is never blank.
bool isBlankUtf8(QByteArrayView text);
