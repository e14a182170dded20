#include "exchange/foldingwriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "exchange/vcardsyntax.h"
#include "model/storedtext.h"

namespace {

constexpr int kMaxLineOctets = 75;

// The ASCII characters a text value escapes, so that the hot loop needs one
// look-up per character instead of five comparisons.
constexpr std::array<bool, 128> kNeedsEscape = [] {
    std::array<bool, 128> table{};
    table['\\'] = true;
    table[','] = true;
    table[';'] = true;
    table['\n'] = true;
    table['\r'] = true;
    return table;
}();

} // namespace

FoldingWriter::FoldingWriter()
{
    mBuffer.resize(4096);
}

void FoldingWriter::grow(qsizetype extra)
{
    qsizetype capacity = std::max<qsizetype>(mBuffer.size() * 2, 4096);
    while (capacity < mSize + extra)
        capacity *= 2;
    mBuffer.resize(capacity);
}

void FoldingWriter::ascii(const char* text, qsizetype length)
{
    reserve(length * 2 + 8);
    char* out = mBuffer.data() + mSize;
    if (mColumn + length <= kMaxLineOctets) {
        std::memcpy(out, text, static_cast<size_t>(length));
        mSize += length;
        mColumn += static_cast<int>(length);
        return;
    }
    for (qsizetype i = 0; i < length; ++i) {
        if (mColumn >= kMaxLineOctets) {
            *out++ = '\r';
            *out++ = '\n';
            *out++ = ' ';
            mColumn = 1;
        }
        *out++ = text[i];
        ++mColumn;
    }
    mSize = out - mBuffer.data();
}

void FoldingWriter::text(QStringView text, bool escape)
{
    // Worst case per UTF-16 unit is three bytes plus a share of a fold.
    reserve(text.size() * 4 + 16);
    char* out = mBuffer.data() + mSize;
    int column = mColumn;
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char bytes[4];
        int count = 0;
        char32_t unit = units[i];
        if (unit < 0x80) {
            if (escape && kNeedsEscape[unit]) {
                bytes[0] = '\\';
                if (unit == u'\n' || unit == u'\r') {
                    if (unit == u'\r' && i + 1 < size && units[i + 1] == u'\n')
                        ++i;
                    mCarriageReturns += unit == u'\r' ? 1 : 0;
                    bytes[1] = 'n';
                } else {
                    bytes[1] = static_cast<char>(unit);
                }
                count = 2;
            } else {
                if (column < kMaxLineOctets) {
                    *out++ = static_cast<char>(unit);
                    ++column;
                    continue;
                }
                bytes[0] = static_cast<char>(unit);
                count = 1;
            }
        } else {
            char32_t codePoint = unit;
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < size && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                codePoint = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                ++i;
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                codePoint = 0xFFFD;
            }
            if (codePoint < 0x800) {
                bytes[0] = static_cast<char>(0xC0 | (codePoint >> 6));
                bytes[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
                count = 2;
            } else if (codePoint < 0x10000) {
                bytes[0] = static_cast<char>(0xE0 | (codePoint >> 12));
                bytes[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
                bytes[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
                count = 3;
            } else {
                bytes[0] = static_cast<char>(0xF0 | (codePoint >> 18));
                bytes[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
                bytes[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
                bytes[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
                count = 4;
            }
        }
        if (column + count > kMaxLineOctets) {
            *out++ = '\r';
            *out++ = '\n';
            *out++ = ' ';
            column = 1;
        }
        for (int b = 0; b < count; ++b)
            *out++ = bytes[b];
        column += count;
    }
    mColumn = column;
    mSize = out - mBuffer.data();
}

qsizetype FoldingWriter::firstToEscape(const char* bytes, qsizetype size)
{
    qsizetype i = 0;
#ifdef __SSE2__
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        __m128i special = _mm_cmpeq_epi8(block, _mm_set1_epi8('\\'));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8(',')));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8(';')));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('\n')));
        special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
        if (const int found = _mm_movemask_epi8(special))
            return i + __builtin_ctz(static_cast<unsigned>(found));
    }
#endif
    for (; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 && kNeedsEscape[c])
            return i;
    }
    return size;
}

void FoldingWriter::setCheckedUtf8(QByteArrayView text)
{
    mChecked = text;
    mCheckedFirstToEscape = text.data() + firstToEscape(text.data(), text.size());
}

bool FoldingWriter::isChecked(QByteArrayView value) const
{
    if (mChecked.isEmpty())
        return false;
    const auto boundary = [this](const char* at) {
        return at == mChecked.end() || (static_cast<unsigned char>(*at) & 0xC0) != 0x80;
    };
    const std::less_equal<const char*> notAfter;
    return notAfter(mChecked.begin(), value.begin()) && notAfter(value.end(), mChecked.end()) &&
           boundary(value.begin()) && boundary(value.end());
}

void FoldingWriter::utf8(QByteArrayView value, bool escape)
{
    if (isChecked(value)) {
        if (std::less_equal<const char*>()(value.end(), mCheckedFirstToEscape))
            escape = false;
    } else if (!vcardsyntax::isValidUtf8(value)) {
        // Rare enough to take the long way, as the program reads it.
        text(textFromUtf8(value), escape);
        return;
    }
    // Each byte may become an escape pair, and every 74 bytes a fold.
    reserve(value.size() * 3 + 16);
    char* out = mBuffer.data() + mSize;
    int column = mColumn;
    const char* bytes = value.data();
    const qsizetype size = value.size();
    qsizetype i = 0;
    // As much as fits on the line goes in one copy: up to the next character
    // to escape, and never part of a UTF-8 sequence.
    while (i < size) {
        qsizetype take = std::min<qsizetype>(kMaxLineOctets - column, size - i);
        if (escape)
            take = firstToEscape(bytes + i, take);
        while (take > 0 && i + take < size && (static_cast<unsigned char>(bytes[i + take]) & 0xC0) == 0x80)
            --take;
        if (take > 0) {
            std::memcpy(out, bytes + i, static_cast<size_t>(take));
            out += take;
            i += take;
            column += static_cast<int>(take);
            continue;
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (escape && c < 0x80 && kNeedsEscape[c]) {
            if (column + 2 > kMaxLineOctets) {
                std::memcpy(out, "\r\n ", 3);
                out += 3;
                column = 1;
            }
            *out++ = '\\';
            if (c == '\n' || c == '\r') {
                if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n')
                    ++i;
                mCarriageReturns += c == '\r' ? 1 : 0;
                *out++ = 'n';
            } else {
                *out++ = static_cast<char>(c);
            }
            ++i;
            column += 2;
        } else {
            // The line is full, or the next character does not fit on it.
            std::memcpy(out, "\r\n ", 3);
            out += 3;
            column = 1;
        }
    }
    mColumn = column;
    mSize = out - mBuffer.data();
}

void FoldingWriter::raw(QByteArrayView bytes)
{
    reserve(bytes.size());
    std::memcpy(mBuffer.data() + mSize, bytes.data(), static_cast<size_t>(bytes.size()));
    mSize += bytes.size();
    const qsizetype lastBreak = bytes.lastIndexOf('\n');
    const qsizetype tail = lastBreak < 0 ? bytes.size() + mColumn : bytes.size() - lastBreak - 1;
    mColumn = static_cast<int>(std::min<qsizetype>(tail, kMaxLineOctets));
}

void FoldingWriter::endLine()
{
    reserve(2);
    mBuffer.data()[mSize++] = '\r';
    mBuffer.data()[mSize++] = '\n';
    mColumn = 0;
}

QByteArray FoldingWriter::takeBytes()
{
    mBuffer.truncate(mSize);
    QByteArray result = std::move(mBuffer);
    mBuffer = QByteArray();
    mSize = 0;
    mColumn = 0;
    return result;
}
