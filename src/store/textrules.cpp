#include "store/textrules.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <QString>

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include "base/apperror.h"

void CollatorCloser::operator()(UCollator* c) const
{
    ucol_close(c);
}

const UCollator& nameOrderCollator()
{
    // ICU collators answer compare calls from several threads at once; only
    // changing their attributes is not thread-safe, and that happens here once.
    static const std::unique_ptr<UCollator, CollatorCloser> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCollator, CollatorCloser> c(ucol_open("", &status));
        if (U_FAILURE(status) || !c)
            throw AppError(QStringLiteral("The text collation is not available: %1")
                               .arg(QString::fromLatin1(u_errorName(status))));
        ucol_setStrength(c.get(), UCOL_SECONDARY);
        return c;
    }();
    return *collator;
}

namespace {

// The name order's collator, with a shortcut for the letters names are mostly
// made of.
class NoCaseCollator {
public:
    NoCaseCollator() : mCollator(nameOrderCollator()) { buildPrimaryTable(); }

    int compare(const char* a, int aSize, const char* b, int bSize) const
    {
        const int fast = comparePrimaries(a, aSize, b, bSize);
        if (fast != kUndecided)
            return fast;
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r = ucol_strcollUTF8(&mCollator, a, aSize, b, bSize, &status);
        if (U_FAILURE(status)) {
            const int bytes = std::memcmp(a, b, static_cast<size_t>(std::min(aSize, bSize)));
            return bytes != 0 ? bytes : (aSize < bSize ? -1 : (aSize > bSize ? 1 : 0));
        }
        return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
    }

private:
    static constexpr int kUndecided = 2;
    // Latin, Greek and Cyrillic letters, digits and punctuation.
    static constexpr UChar32 kTableEnd = 0x0530;

    // A "plain" character carries exactly one primary weight (a letter,
    // digit or sign, perhaps with accents that only weigh at the second
    // level) and continues no contraction. As long as both texts consist of
    // plain characters, the first pair whose primary weights differ decides
    // the collator's answer, and equal weights throughout mean equal texts
    // unless an accent is involved. Names are mostly such letters, and ORDER
    // BY over a large list asks this a few million times, so the collator
    // itself is only called when something else turns up.
    void buildPrimaryTable()
    {
        UErrorCode status = U_ZERO_ERROR;
        USet* contractions = uset_openEmpty();
        ucol_getContractionsAndExpansions(&mCollator, contractions, nullptr, true, &status);
        // Characters that continue a contraction are never plain; those that
        // start one are plain unless a non-plain character follows them.
        std::vector<bool> inContraction(kTableEnd, false);
        for (int32_t i = 0; U_SUCCESS(status) && i < uset_getItemCount(contractions); ++i) {
            UChar32 start = 0, end = 0;
            UChar text[64];
            UErrorCode itemStatus = U_ZERO_ERROR;
            const int32_t length = uset_getItem(contractions, i, &start, &end, text, 64, &itemStatus);
            // A contraction that starts past the table is never reached: the
            // comparison gives up at its first character.
            UChar32 first = 0;
            if (length > 0) {
                int32_t at = 0;
                U16_NEXT(text, at, length, first);
            }
            for (int32_t k = 0; k < length && U_SUCCESS(itemStatus) && first < kTableEnd;) {
                const bool initial = k == 0;
                UChar32 c;
                U16_NEXT(text, k, length, c);
                if (c >= 0 && c < kTableEnd) {
                    if (initial)
                        mStartsContraction[static_cast<size_t>(c)] = true;
                    else
                        inContraction[static_cast<size_t>(c)] = true;
                }
            }
            for (UChar32 c = start; length == 0 && c <= end && c < kTableEnd; ++c)
                inContraction[static_cast<size_t>(c)] = true;
        }
        uset_close(contractions);

        const auto elements = [this](UChar32 c) {
            std::vector<int32_t> found;
            UChar text[2];
            int32_t length = 0;
            U16_APPEND_UNSAFE(text, length, c);
            UErrorCode s = U_ZERO_ERROR;
            UCollationElements* iterator = ucol_openElements(&mCollator, text, length, &s);
            for (int32_t e = ucol_next(iterator, &s); U_SUCCESS(s) && e != UCOL_NULLORDER; e = ucol_next(iterator, &s))
                found.push_back(e);
            ucol_closeElements(iterator);
            return found;
        };
        const std::vector<int32_t> letterA = elements('a');
        if (letterA.size() != 1)
            return;
        const int32_t commonSecondary = ucol_secondaryOrder(letterA[0]);
        for (UChar32 c = 0; c < kTableEnd; ++c) {
            if (inContraction[static_cast<size_t>(c)])
                continue;
            const std::vector<int32_t> found = elements(c);
            // 0xC0 in the low bits marks the continuation of a long weight.
            const auto continues = [](int32_t e) { return (e & 0xC0) == 0xC0; };
            if (found.empty() || continues(found[0]) || ucol_primaryOrder(found[0]) == 0)
                continue;
            bool onePrimary = true;
            for (size_t k = 1; k < found.size(); ++k)
                onePrimary = onePrimary && !continues(found[k]) && ucol_primaryOrder(found[k]) == 0;
            if (!onePrimary)
                continue;
            mPrimary[static_cast<size_t>(c)] = static_cast<uint16_t>(ucol_primaryOrder(found[0]));
            mAccented[static_cast<size_t>(c)] = found.size() > 1 || ucol_secondaryOrder(found[0]) != commonSecondary;
        }
    }

    // The next character, or -1 when it lies past the table.
    static int32_t nextTableChar(const char* s, int& i, int size)
    {
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead < 0x80) {
            ++i;
            return lead;
        }
        if ((lead & 0xE0) == 0xC0 && i + 1 < size && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
            const int32_t c = ((lead & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
            i += 2;
            return c >= 0x80 && c < kTableEnd ? c : -1;
        }
        return -1;
    }

    // The primary weight of the next character, 0 when it is not plain.
    uint16_t nextPrimary(const char* s, int& i, int size, bool& accented) const
    {
        const int32_t c = nextTableChar(s, i, size);
        if (c < 0)
            return 0;
        const uint16_t primary = mPrimary[static_cast<size_t>(c)];
        accented = accented || mAccented[static_cast<size_t>(c)];
        if (primary != 0 && mStartsContraction[static_cast<size_t>(c)] && i < size) {
            int peek = i;
            const int32_t following = nextTableChar(s, peek, size);
            if (following < 0 || mPrimary[static_cast<size_t>(following)] == 0)
                return 0;
        }
        return primary;
    }

    int comparePrimaries(const char* a, int aSize, const char* b, int bSize) const
    {
        // An identical beginning weighs the same on both sides: start where
        // the texts part, at a character boundary, and one character earlier
        // when that one could contract with what follows.
        int start = 0;
        const int shorter = std::min(aSize, bSize);
        while (start < shorter && a[start] == b[start])
            ++start;
        if (start == aSize && start == bSize)
            return 0;
        const char* rest = start < aSize ? a : b;
        while (start > 0 && (static_cast<unsigned char>(rest[start]) & 0xC0) == 0x80)
            --start;
        if (start > 0) {
            int previous = start - 1;
            while (previous > 0 && (static_cast<unsigned char>(a[previous]) & 0xC0) == 0x80)
                --previous;
            int at = previous;
            const int32_t c = nextTableChar(a, at, aSize);
            if (c < 0 || mStartsContraction[static_cast<size_t>(c)])
                start = previous;
        }
        int i = start;
        int j = start;
        bool accented = false;
        for (;;) {
            if (i == aSize || j == bSize) {
                if (i == aSize && j == bSize)
                    return accented ? kUndecided : 0;
                // The longer text is greater when what follows carries a weight.
                int k = i == aSize ? j : i;
                const uint16_t next =
                    i == aSize ? nextPrimary(b, k, bSize, accented) : nextPrimary(a, k, aSize, accented);
                if (next == 0)
                    return kUndecided;
                return i == aSize ? -1 : 1;
            }
            const uint16_t pa = nextPrimary(a, i, aSize, accented);
            const uint16_t pb = nextPrimary(b, j, bSize, accented);
            if (pa == 0 || pb == 0)
                return kUndecided;
            if (pa != pb)
                return pa < pb ? -1 : 1;
        }
    }

    const UCollator& mCollator;
    std::array<uint16_t, kTableEnd> mPrimary{};
    std::array<bool, kTableEnd> mStartsContraction{};
    std::array<bool, kTableEnd> mAccented{};
};

const NoCaseCollator& sharedCollator()
{
    static const NoCaseCollator collator;
    return collator;
}

} // namespace

int compareNoCase(const char* a, int aSize, const char* b, int bSize)
{
    return sharedCollator().compare(a, aSize, b, bSize);
}
