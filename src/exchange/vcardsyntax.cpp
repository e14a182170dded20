#include "exchange/vcardsyntax.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "model/storedtext.h"

namespace vcardsyntax {

QByteArrayView unquoted(QByteArrayView value)
{
    QByteArrayView view = trimmed(value);
    if (view.size() >= 2 && view.front() == '"' && view.back() == '"')
        view = view.sliced(1, view.size() - 2);
    return view;
}

qsizetype findLineEnd(QByteArrayView data, qsizetype from)
{
    // Sixteen bytes at a time: this runs over every byte of an imported file.
    const char* bytes = data.data();
    const qsizetype size = data.size();
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, lf), _mm_cmpeq_epi8(block, cr)));
        if (found)
            return i + __builtin_ctz(static_cast<unsigned>(found));
    }
#endif
    while (i < size && bytes[i] != '\n' && bytes[i] != '\r')
        ++i;
    return i;
}

bool isValidUtf8(QByteArrayView text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const qsizetype size = text.size();
    qsizetype i = 0;
    // Where the bytes the block check could not take end; up to there one
    // character at a time.
    qsizetype slowUntil = 0;
    while (i < size) {
#ifdef __SSE2__
        if (i >= slowUntil && i + 16 <= size) {
            // Sixteen bytes at a time while they are ASCII and two-byte
            // letters (accented Latin, Greek, Cyrillic): then every lead byte
            // C2..DF must be followed by one continuation byte 80..BF, and
            // every continuation byte must follow a lead byte.
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            const int high = _mm_movemask_epi8(block);
            if (high == 0) {
                i += 16;
                continue;
            }
            const int continuation = _mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_set1_epi8(-64)));
            const int lead = _mm_movemask_epi8(
                _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(-63)), _mm_cmplt_epi8(block, _mm_set1_epi8(-32))));
            if ((continuation | lead) == high) {
                if (continuation != ((lead << 1) & 0xFFFF))
                    return false;
                // A lead byte at the end has its continuation in the next block.
                i += (lead & 0x8000) != 0 ? 15 : 16;
                continue;
            }
            slowUntil = i + 16;
        }
#endif
        const unsigned char first = bytes[i];
        if (first < 0x80) {
            ++i;
        } else if (first >= 0xC2 && first <= 0xDF) {
            if (i + 1 >= size || (bytes[i + 1] & 0xC0) != 0x80)
                return false;
            i += 2;
        } else {
            char32_t codePoint = 0;
            const int length = utf8SequenceAt(text, i, &codePoint);
            if (length == 0)
                return false;
            i += length;
        }
    }
    return true;
}

bool isSimplified(QByteArrayView text)
{
    bool afterSpace = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            const bool space = c == ' ' || (c >= '\t' && c <= '\r');
            if (space && (c != ' ' || afterSpace))
                return false;
            afterSpace = space;
            continue;
        }
        afterSpace = false;
        // Of the two-byte letters only U+0085 and U+00A0 are spaces.
        if (c >= 0xC3 && c <= 0xDF && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const int length = utf8SequenceAt(text, i, &codePoint);
        if (length == 0 || QChar::isSpace(codePoint))
            return false;
        i += length - 1;
    }
    return text.isEmpty() || !afterSpace;
}

QString upperName(QByteArrayView name)
{
    static const QString kKnown[] = {
        QStringLiteral("FN"),        QStringLiteral("N"),          QStringLiteral("TEL"),
        QStringLiteral("EMAIL"),     QStringLiteral("URL"),        QStringLiteral("NOTE"),
        QStringLiteral("BDAY"),      QStringLiteral("ADR"),        QStringLiteral("LABEL"),
        QStringLiteral("ORG"),       QStringLiteral("TITLE"),      QStringLiteral("ROLE"),
        QStringLiteral("NICKNAME"),  QStringLiteral("CATEGORIES"), QStringLiteral("PHOTO"),
        QStringLiteral("UID"),       QStringLiteral("REV"),        QStringLiteral("PRODID"),
        QStringLiteral("X-ABLABEL"), QStringLiteral("TYPE"),       QStringLiteral("VALUE"),
        QStringLiteral("ENCODING"),  QStringLiteral("CHARSET"),    QStringLiteral("X-FIELD"),
        QStringLiteral("PREF"),
    };
    for (const QString& known : kKnown) {
        if (known.size() != name.size())
            continue;
        bool same = true;
        for (qsizetype i = 0; same && i < name.size(); ++i)
            same = known[i] == QLatin1Char(upperAscii(name[i]));
        if (same)
            return known;
    }
    return QString::fromLatin1(name).toUpper();
}

} // namespace vcardsyntax
