#pragma once

#include <cstring>

#include <QByteArrayView>
#include <QString>

// The small pieces of vCard's syntax that the reader, the decoder and the
// mapper of plain cards share, over the file's bytes.
namespace vcardsyntax {

inline bool isSpaceOrTab(char c)
{
    return c == ' ' || c == '\t';
}

inline char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// These run for every line of a large import: a short text is searched in
// place, a long one through memchr, whose start costs more than a few
// comparisons.
inline qsizetype indexOf(QByteArrayView text, char c)
{
    const qsizetype size = text.size();
    if (size > 32) {
        const void* found = std::memchr(text.data(), c, static_cast<size_t>(size));
        return found ? static_cast<const char*>(found) - text.data() : -1;
    }
    for (qsizetype i = 0; i < size; ++i) {
        if (text.data()[i] == c)
            return i;
    }
    return -1;
}

inline qsizetype lastIndexOf(QByteArrayView text, char c)
{
    if (text.size() > 32) {
        const void* found = memrchr(text.data(), c, static_cast<size_t>(text.size()));
        return found ? static_cast<const char*>(found) - text.data() : -1;
    }
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text.data()[i] == c)
            return i;
    }
    return -1;
}

inline bool contains(QByteArrayView text, char c)
{
    return indexOf(text, c) >= 0;
}

inline QByteArrayView trimmed(QByteArrayView view)
{
    qsizetype begin = 0;
    qsizetype end = view.size();
    while (begin < end && isSpaceOrTab(view[begin]))
        ++begin;
    while (end > begin && isSpaceOrTab(view[end - 1]))
        --end;
    return view.sliced(begin, end - begin);
}

inline bool equalsIgnoreCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

// The next piece of text up to separator outside double quotes; text loses
// the piece and the separator, and is null after the last piece.
inline QByteArrayView nextPiece(QByteArrayView& text, char separator)
{
    qsizetype end = indexOf(text, separator);
    // A quote before the separator may hide it; the slow way then.
    if (end >= 0 && contains(text.first(end), '"')) {
        bool quoted = false;
        for (end = 0; end < text.size(); ++end) {
            if (text[end] == '"')
                quoted = !quoted;
            else if (text[end] == separator && !quoted)
                break;
        }
        if (end == text.size())
            end = -1;
    }
    if (end < 0) {
        const QByteArrayView piece = text;
        text = QByteArrayView();
        return piece;
    }
    const QByteArrayView piece = text.first(end);
    text = text.sliced(end + 1);
    return piece;
}

inline char16_t unitOf(char c)
{
    return static_cast<unsigned char>(c);
}

inline char16_t unitOf(QChar c)
{
    return c.unicode();
}

// A value's escapes undone, onto out, from bytes or from UTF-16: \n and \N
// are line breaks; \\, \, and \; stand for themselves, and so do \: and \",
// which Apple writes in URLs and notes and which mean nothing else; any other
// backslash stays as written. A CR, alone or before an LF, is one line break,
// as quoted-printable values carry them: the program stores "\n" only.
template <typename Char, typename Text> void appendUnescaped(const Char* text, qsizetype size, Text& out)
{
    // What lies between escapes is copied whole, not character by character.
    qsizetype copied = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = unitOf(text[i]);
        if ((unit != u'\\' || i + 1 == size) && unit != u'\r')
            continue;
        out.append(text + copied, i - copied);
        if (unit == u'\r') {
            if (i + 1 < size && unitOf(text[i + 1]) == u'\n')
                ++i;
            out += Char(u'\n');
        } else {
            const Char next = text[++i];
            const char16_t escaped = unitOf(next);
            if (escaped == u'n' || escaped == u'N') {
                out += Char(u'\n');
            } else if (escaped == u'\\' || escaped == u',' || escaped == u';' || escaped == u':' || escaped == u'"') {
                out += next;
            } else {
                out += text[i - 1];
                out += next;
            }
        }
        copied = i + 1;
    }
    out.append(text + copied, size - copied);
}

// A parameter value without the blanks and double quotes around it.
QByteArrayView unquoted(QByteArrayView value);
// The first line end (LF or CR) at or after from; the size when there is none.
qsizetype findLineEnd(QByteArrayView data, qsizetype from);
bool isValidUtf8(QByteArrayView text);
// Valid UTF-8 that QString::simplified() would leave as it is: no blanks at
// either end, none but single plain spaces inside.
bool isSimplified(QByteArrayView text);
// The names almost every card repeats in upper case, shared rather than
// allocated anew for every line.
QString upperName(QByteArrayView name);

} // namespace vcardsyntax
