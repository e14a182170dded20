#include "store/casefolding.h"

#include <algorithm>

#include <QLocale>

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

CaseFolding::CaseFolding(bool turkic) : mTurkic(turkic), mSingle(new uint32_t[0x10000]), mToAscii(0x10000, false)
{
    // The whole plane at once (a few milliseconds): the table is then only
    // read, from any thread. No character past it folds to ASCII.
    for (UChar32 c = 0; c < 0x10000; ++c) {
        UChar32 out[3];
        const int count = foldUncached(c, out);
        if (c >= 0x80 && std::any_of(out, out + count, [](UChar32 f) { return f < 0x80; })) {
            mToAscii[static_cast<size_t>(c)] = true;
            uint8_t utf8[4];
            int32_t length = 0;
            U8_APPEND_UNSAFE(utf8, length, c);
            mRiskyLead[utf8[0]] = true;
        }
        if (count == 1) {
            mSingle[static_cast<size_t>(c)] = static_cast<uint32_t>(out[0]);
        } else {
            mSingle[static_cast<size_t>(c)] = kExpands | static_cast<uint32_t>(mExpanded.size());
            mExpanded.push_back(count);
            for (int i = 0; i < count; ++i)
                mExpanded.push_back(out[i]);
        }
    }
}

bool CaseFolding::foldsToAscii(UChar32 c) const
{
    return c >= 0 && c < 0x10000 && mToAscii[static_cast<size_t>(c)];
}

const CaseFolding& CaseFolding::standard()
{
    static const CaseFolding folding(false);
    return folding;
}

const CaseFolding& CaseFolding::turkic()
{
    static const CaseFolding folding(true);
    return folding;
}

const CaseFolding& CaseFolding::forUserLocale()
{
    const QLocale::Language language = QLocale().language();
    return language == QLocale::Turkish || language == QLocale::Azerbaijani ? turkic() : standard();
}

int CaseFolding::foldUncached(UChar32 c, UChar32 out[3]) const
{
    UChar source[2];
    int32_t sourceLength = 0;
    U16_APPEND_UNSAFE(source, sourceLength, c);
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strFoldCase(folded, 8, source, sourceLength,
                                         mTurkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status) || length <= 0 || length > 8) {
        out[0] = c;
        return 1;
    }
    int count = 0;
    for (int32_t i = 0; i < length && count < 3;) {
        UChar32 f;
        U16_NEXT(folded, i, length, f);
        out[count++] = f;
    }
    return count;
}

int CaseFolding::fold(UChar32 c, UChar32 out[3]) const
{
    if (c < 0 || c >= 0x10000)
        return foldUncached(c, out);
    const uint32_t entry = mSingle[static_cast<size_t>(c)];
    if (!(entry & kExpands)) {
        out[0] = static_cast<UChar32>(entry);
        return 1;
    }
    const size_t at = entry & ~kExpands;
    const int count = mExpanded[at];
    for (int i = 0; i < count; ++i)
        out[i] = mExpanded[at + 1 + static_cast<size_t>(i)];
    return count;
}

QString CaseFolding::fold(const QString& text) const
{
    QString folded;
    folded.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            i += 2;
        } else {
            ++i;
        }
        UChar32 out[3];
        const int count = fold(static_cast<UChar32>(c), out);
        for (int k = 0; k < count; ++k) {
            const auto f = static_cast<char32_t>(out[k]);
            if (QChar::requiresSurrogates(f)) {
                folded += QChar(QChar::highSurrogate(f));
                folded += QChar(QChar::lowSurrogate(f));
            } else {
                folded += QChar(static_cast<char16_t>(f));
            }
        }
    }
    return folded;
}
