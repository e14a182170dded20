#include "store/textrules.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <sqlite3.h>

#include <QStringDecoder>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include "store/casefolding.h"
#include "store/likepattern.h"

namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};

// The root collation with secondary strength: accents count, letter case does
// not, and every script sorts by its own alphabet.
class NoCaseCollator {
public:
    NoCaseCollator()
    {
        UErrorCode status = U_ZERO_ERROR;
        mCollator.reset(ucol_open("", &status));
        if (U_FAILURE(status) || !mCollator)
            return;
        ucol_setStrength(mCollator.get(), UCOL_SECONDARY);
        buildPrimaryTable();
    }

    bool valid() const { return mCollator != nullptr; }

    int compare(const char* a, int aSize, const char* b, int bSize) const
    {
        const int fast = comparePrimaries(a, aSize, b, bSize);
        if (fast != kUndecided)
            return fast;
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r = ucol_strcollUTF8(mCollator.get(), a, aSize, b, bSize, &status);
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
        ucol_getContractionsAndExpansions(mCollator.get(), contractions, nullptr, true, &status);
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
            UCollationElements* iterator = ucol_openElements(mCollator.get(), text, length, &s);
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

    std::unique_ptr<UCollator, CollatorCloser> mCollator;
    std::array<uint16_t, kTableEnd> mPrimary{};
    std::array<bool, kTableEnd> mStartsContraction{};
    std::array<bool, kTableEnd> mAccented{};
};

const NoCaseCollator& sharedCollator()
{
    // ICU collators answer compare calls from several threads at once; only
    // changing their attributes is not thread-safe, and that happens here once.
    static const NoCaseCollator collator;
    return collator;
}

// What one connection's LIKE keeps: the case folding, and the patterns it
// compiled last. A query asks with the same few patterns row after row (the
// search with "T%" and "%T%" thirteen times a row): a look in a short list
// costs less than SQLite's own per-call store for compiled arguments.
struct LikeState {
    const CaseFolding* folding = nullptr;
    struct Compiled {
        QByteArray text;
        char32_t escape = 0;
        std::unique_ptr<LikePattern> pattern;
    };
    std::vector<Compiled> recent;

    const LikePattern& compiled(const char* text, int size, char32_t escape)
    {
        for (const Compiled& entry : recent) {
            if (entry.escape == escape && entry.text.size() == size &&
                std::memcmp(entry.text.constData(), text, static_cast<size_t>(size)) == 0)
                return *entry.pattern;
        }
        if (recent.size() >= 8)
            recent.erase(recent.begin());
        recent.push_back({QByteArray(text, size), escape, std::make_unique<LikePattern>(text, size, escape, *folding)});
        return *recent.back().pattern;
    }
};

void deleteLikeState(void* p)
{
    delete static_cast<LikeState*>(p);
}

// LIKE with the same two or three arguments as SQLite's own.
void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    char32_t escape = 0;
    if (argc == 3) {
        const char* e = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        const int eSize = sqlite3_value_bytes(argv[2]);
        int i = 0;
        if (e && eSize > 0) {
            UChar32 c;
            U8_NEXT(e, i, eSize, c);
            escape = c < 0 ? 0xfffd : static_cast<char32_t>(c);
        }
        if (!e || eSize == 0 || i != eSize) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return;
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int textSize = sqlite3_value_bytes(argv[1]);
    const char* patternText = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int patternSize = sqlite3_value_bytes(argv[0]);
    // The same limit, and the same message, as SQLite's own LIKE.
    if (patternSize > sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    auto* state = static_cast<LikeState*>(sqlite3_user_data(context));
    sqlite3_result_int(context, state->compiled(patternText, patternSize, escape).matches(text, textSize) ? 1 : 0);
}

} // namespace

void registerTextRules(sqlite3* db, const CaseFolding& folding)
{
    // Only LIKE is replaced, and only in what this program asks: collations
    // stay SQLite's own, so every index and every other tool agrees with the
    // file. A schema that uses LIKE itself (a CHECK, a partial index) keeps
    // SQLite's LIKE too, or its rows and the other tools would disagree.
    if (schemaUsesLike(db))
        return;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    for (const int arguments : {2, 3}) {
        auto* state = new LikeState;
        state->folding = &folding;
        sqlite3_create_function_v2(db, "like", arguments, flags, state, likeFunction, nullptr, nullptr,
                                   deleteLikeState);
    }
}

bool schemaUsesLike(sqlite3* db)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "select 1 from sqlite_master where sql like '%like%' limit 1", -1, &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        return true;
    }
    const bool uses = sqlite3_step(raw) == SQLITE_ROW;
    sqlite3_finalize(raw);
    return uses;
}

int compareNoCase(const char* a, int aSize, const char* b, int bSize)
{
    return sharedCollator().compare(a, aSize, b, bSize);
}

bool likeMatches(const char* pattern, int patternSize, const char* text, int textSize, char32_t escape,
                 const CaseFolding& folding)
{
    return LikePattern(pattern, patternSize, escape, folding).matches(text, textSize);
}
