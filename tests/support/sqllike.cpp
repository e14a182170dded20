#include "support/sqllike.h"

#include <cstring>
#include <memory>
#include <vector>

#include <sqlite3.h>

#include <QByteArray>

#include <unicode/utf8.h>

#include "store/casefolding.h"
#include "store/likepattern.h"

namespace {

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

void registerUnicodeLike(sqlite3* db, const CaseFolding& folding)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    for (const int arguments : {2, 3}) {
        auto* state = new LikeState;
        state->folding = &folding;
        sqlite3_create_function_v2(db, "like", arguments, flags, state, likeFunction, nullptr, nullptr,
                                   deleteLikeState);
    }
}

bool likeMatches(const char* pattern, int patternSize, const char* text, int textSize, char32_t escape,
                 const CaseFolding& folding)
{
    return LikePattern(pattern, patternSize, escape, folding).matches(text, textSize);
}
