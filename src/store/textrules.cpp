#include "store/textrules.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

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
        buildAsciiRanks();
    }

    bool valid() const { return mCollator != nullptr; }

    int compare(const char* a, int aSize, const char* b, int bSize) const
    {
        const int fast = compareAscii(a, aSize, b, bSize);
        if (fast != kNotAscii)
            return fast;
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r = ucol_strcollUTF8(mCollator.get(), a, aSize, b, bSize, &status);
        if (U_FAILURE(status))
            return std::lexicographical_compare(a, a + aSize, b, b + bSize) ? -1 : (aSize == bSize && std::equal(a, a + aSize, b) ? 0 : 1);
        return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
    }

private:
    static constexpr int kNotAscii = 2;

    // For printable ASCII each character is one collation element of its own
    // (no contractions, nothing ignorable), so comparing the characters' ranks
    // one by one gives the collator's answer at a fraction of its cost. Lists of
    // Latin names are mostly ASCII, and ORDER BY over a large list calls this a
    // few million times.
    void buildAsciiRanks()
    {
        std::vector<char> chars;
        for (char c = 0x20; c < 0x7f; ++c)
            chars.push_back(c);
        std::stable_sort(chars.begin(), chars.end(), [this](char x, char y) {
            UErrorCode status = U_ZERO_ERROR;
            return ucol_strcollUTF8(mCollator.get(), &x, 1, &y, 1, &status) == UCOL_LESS;
        });
        unsigned char rank = 1;
        for (size_t i = 0; i < chars.size(); ++i) {
            if (i > 0) {
                UErrorCode status = U_ZERO_ERROR;
                if (ucol_strcollUTF8(mCollator.get(), &chars[i - 1], 1, &chars[i], 1, &status) != UCOL_EQUAL)
                    ++rank;
            }
            mRank[static_cast<unsigned char>(chars[i])] = rank;
        }
    }

    int compareAscii(const char* a, int aSize, const char* b, int bSize) const
    {
        const int n = std::min(aSize, bSize);
        for (int i = 0; i < n; ++i) {
            const unsigned char ra = mRank[static_cast<unsigned char>(a[i])];
            const unsigned char rb = mRank[static_cast<unsigned char>(b[i])];
            if (ra == 0 || rb == 0)
                return kNotAscii;
            if (ra != rb)
                return ra < rb ? -1 : 1;
        }
        const char* rest = aSize > n ? a + n : b + n;
        const int restSize = std::max(aSize, bSize) - n;
        for (int i = 0; i < restSize; ++i) {
            if (mRank[static_cast<unsigned char>(rest[i])] == 0)
                return kNotAscii;
        }
        return aSize == bSize ? 0 : (aSize < bSize ? -1 : 1);
    }

    std::unique_ptr<UCollator, CollatorCloser> mCollator;
    std::array<unsigned char, 256> mRank{};
};

const NoCaseCollator& sharedCollator()
{
    // ICU collators answer compare calls from several threads at once; only
    // changing their attributes is not thread-safe, and that happens here once.
    static const NoCaseCollator collator;
    return collator;
}

int collate(void*, int aSize, const void* a, int bSize, const void* b)
{
    return sharedCollator().compare(static_cast<const char*>(a), aSize, static_cast<const char*>(b), bSize);
}

inline UChar32 fold(UChar32 c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

inline UChar32 next(const char* s, int& i, int size)
{
    const auto byte = static_cast<unsigned char>(s[i]);
    if (byte < 0x80) {
        ++i;
        return byte;
    }
    UChar32 c;
    U8_NEXT(s, i, size, c);
    return c < 0 ? 0xfffd : c;
}

struct PatternItem {
    enum Kind { Char, One, Any } kind;
    UChar32 c;
};

std::vector<PatternItem> compilePattern(const char* pattern, int size, char32_t escape)
{
    std::vector<PatternItem> items;
    int i = 0;
    while (i < size) {
        UChar32 c = next(pattern, i, size);
        if (escape != 0 && static_cast<char32_t>(c) == escape && i < size) {
            items.push_back({PatternItem::Char, fold(next(pattern, i, size))});
        } else if (c == '%') {
            if (items.empty() || items.back().kind != PatternItem::Any)
                items.push_back({PatternItem::Any, 0});
        } else if (c == '_') {
            items.push_back({PatternItem::One, 0});
        } else {
            items.push_back({PatternItem::Char, fold(c)});
        }
    }
    return items;
}

// Greedy matching with one remembered "%": a later "%" always supersedes an
// earlier one, so no deeper backtracking is ever needed.
bool matchCompiled(const std::vector<PatternItem>& items, const char* text, int size)
{
    size_t p = 0;
    int t = 0;
    size_t starItem = SIZE_MAX;
    int starText = 0;
    while (t < size) {
        if (p < items.size() && items[p].kind == PatternItem::Any) {
            starItem = ++p;
            starText = t;
            continue;
        }
        int after = t;
        const UChar32 c = next(text, after, size);
        if (p < items.size() &&
            (items[p].kind == PatternItem::One || (items[p].kind == PatternItem::Char && items[p].c == fold(c)))) {
            ++p;
            t = after;
            continue;
        }
        if (starItem == SIZE_MAX)
            return false;
        p = starItem;
        next(text, starText, size);
        t = starText;
    }
    while (p < items.size() && items[p].kind == PatternItem::Any)
        ++p;
    return p == items.size();
}

void deletePattern(void* p)
{
    delete static_cast<std::vector<PatternItem>*>(p);
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    char32_t escape = 0;
    if (argc == 3) {
        const char* e = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        const int eSize = sqlite3_value_bytes(argv[2]);
        int i = 0;
        if (e)
            escape = static_cast<char32_t>(next(e, i, eSize));
        if (!e || i != eSize) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return;
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int textSize = sqlite3_value_bytes(argv[1]);
    // The pattern is the same for every row of a query: compile it once.
    auto* items = static_cast<std::vector<PatternItem>*>(sqlite3_get_auxdata(context, 0));
    if (!items || argc == 3) {
        const char* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const int patternSize = sqlite3_value_bytes(argv[0]);
        auto compiled = std::make_unique<std::vector<PatternItem>>(compilePattern(pattern, patternSize, escape));
        const bool result = matchCompiled(*compiled, text, textSize);
        if (argc == 2) {
            sqlite3_set_auxdata(context, 0, compiled.release(), deletePattern);
        }
        sqlite3_result_int(context, result ? 1 : 0);
        return;
    }
    sqlite3_result_int(context, matchCompiled(*items, text, textSize) ? 1 : 0);
}

} // namespace

void registerTextRules(sqlite3* db)
{
    sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, collate, nullptr);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
}

int compareNoCase(const char* a, int aSize, const char* b, int bSize)
{
    return sharedCollator().compare(a, aSize, b, bSize);
}

bool likeMatches(const char* pattern, int patternSize, const char* text, int textSize, char32_t escape)
{
    return matchCompiled(compilePattern(pattern, patternSize, escape), text, textSize);
}

QString upperCase(const QString& text)
{
    if (text.isEmpty())
        return text;
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const auto sourceSize = static_cast<int32_t>(text.size());
    std::vector<UChar> buffer(static_cast<size_t>(sourceSize) + 16);
    UErrorCode status = U_ZERO_ERROR;
    int32_t size = u_strToUpper(buffer.data(), static_cast<int32_t>(buffer.size()), source, sourceSize, "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        buffer.resize(static_cast<size_t>(size));
        status = U_ZERO_ERROR;
        size = u_strToUpper(buffer.data(), size, source, sourceSize, "", &status);
    }
    if (U_FAILURE(status))
        return text.toUpper();
    return QString(reinterpret_cast<const QChar*>(buffer.data()), size);
}
