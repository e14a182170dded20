#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <unicode/umachine.h>

class CaseFolding;

// A LIKE pattern, compiled once for every row a query looks at: "%" stands for
// any run of characters, "_" for one, and letters match whatever their case
// after full case folding. Matching takes time in proportion to the text's
// length times the pattern's length divided by 64, never more: a long pattern
// over a long remark cannot stall the search the way backtracking can.
class LikePattern {
public:
    // escape is 0 when the pattern has none; the character after it matches
    // itself, "%" and "_" included.
    LikePattern(const char* pattern, int size, char32_t escape, const CaseFolding& folding);

    bool matches(const char* text, int size) const;

    // The ways to an answer, fastest first; each but the last serves only
    // some patterns or texts and passes the rest on to the next. matches()
    // starts with the first. matchesFrom() starts further down, for the
    // benchmark that times what each way saves over the ones after it, and
    // for the fuzz target that checks that they all answer alike.
    enum class Way {
        // A pattern of ASCII letters that ends in "%": the text's bytes.
        Bytes,
        // Any pattern that ends in "%": the text folded character by
        // character, up to where the answer is known.
        Streaming,
        // Every pattern: the whole text folded, then searched.
        Folded,
    };
    bool matchesFrom(Way first, const char* text, int size) const;

private:
    // A run of the pattern between two "%": code points after folding, with
    // kAnyOne for "_", and its shift-and masks.
    struct Segment {
        std::vector<UChar32> items;
        size_t words = 0;
        // For every ASCII character its mask; other characters look theirs
        // up in mOthers and fall back to the mask of the "_" positions.
        std::vector<uint64_t> ascii;
        std::vector<std::pair<UChar32, size_t>> others;
        std::vector<uint64_t> otherMasks;
        std::vector<uint64_t> anyOne;

        // The one word of a segment of up to 64 items, ASCII first.
        std::array<uint64_t, 128> ascii1{};
        uint64_t anyOne1 = 0;
        // For a segment of ASCII characters only: the mask of every byte of
        // the text as it stands, letter case folded (bytes past ASCII match
        // nothing).
        std::array<uint64_t, 256> byteMask{};
        bool asciiOnly = false;
        // The bytes where a match may start, or that may start a character
        // that folds to ASCII: between two of them the text can be skipped.
        std::array<bool, 256> stopAt{};

        void buildMasks();
        const uint64_t* maskFor(UChar32 c) const;
        uint64_t maskFor1(UChar32 c) const;
        bool matchesAt(const UChar32* text) const;
        // Where the first occurrence at or after from ends (one past), or -1.
        long long findEnd(const UChar32* text, size_t from, size_t to) const;
    };

    static constexpr UChar32 kAnyOne = -1;

    // Folds the text, stopping once limit characters are out (or never when
    // limit is SIZE_MAX).
    void foldText(const char* text, int size, size_t limit, std::vector<UChar32>& out) const;
    // Matches a pattern of ASCII letters that ends in "%" over the text's
    // bytes; nothing when the text holds a character that folds to ASCII and
    // the answer needs the character-wise match.
    std::optional<bool> matchesBytes(const char* text, int size) const;
    // Matches a pattern that ends in "%" while folding the text character by
    // character, without a folded copy: the search's "T%" and "%T%" shapes.
    bool matchesStreaming(const char* text, int size) const;
    // Folds the whole text, then finds the pattern's runs in it.
    bool matchesFolded(const char* text, int size) const;

    const CaseFolding& mFolding;
    std::vector<Segment> mSegments;
    bool mAnyPercent = false;
    bool mLeadingPercent = false;
    bool mTrailingPercent = false;
    bool mAsciiPattern = false;
};
