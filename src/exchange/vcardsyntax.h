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
