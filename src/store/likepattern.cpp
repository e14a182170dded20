#include "store/likepattern.h"

#include <algorithm>

#include <unicode/utf8.h>

#include "store/asciicase.h"
#include "store/casefolding.h"

namespace {

UChar32 nextChar(const char* s, int& i, int size)
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

} // namespace

LikePattern::LikePattern(const char* pattern, int size, char32_t escape, const CaseFolding& folding) : mFolding(folding)
{
    Segment current;
    const auto closeSegment = [&] {
        if (!current.items.empty()) {
            current.buildMasks();
            mSegments.push_back(std::move(current));
            current = Segment();
        }
    };
    int i = 0;
    while (i < size) {
        UChar32 c = nextChar(pattern, i, size);
        bool literal = false;
        if (escape != 0 && static_cast<char32_t>(c) == escape && i < size) {
            c = nextChar(pattern, i, size);
            literal = true;
        }
        if (!literal && c == '%') {
            if (!mAnyPercent && mSegments.empty() && current.items.empty())
                mLeadingPercent = true;
            mAnyPercent = true;
            closeSegment();
            mTrailingPercent = true;
            continue;
        }
        mTrailingPercent = false;
        if (!literal && c == '_') {
            current.items.push_back(kAnyOne);
            continue;
        }
        UChar32 folded[3];
        const int count = mFolding.fold(c, folded);
        current.items.insert(current.items.end(), folded, folded + count);
    }
    closeSegment();
    // Turkic folding turns the ASCII "I" into a dotless i: no byte shortcut.
    mAsciiPattern = !mFolding.isTurkic() && !mSegments.empty() &&
                    std::all_of(mSegments.begin(), mSegments.end(), [](const Segment& s) { return s.asciiOnly; });
    if (mAsciiPattern) {
        for (Segment& segment : mSegments) {
            for (int b = 0x80; b < 256; ++b)
                segment.stopAt[static_cast<size_t>(b)] = mFolding.mayFoldToAscii(static_cast<unsigned char>(b));
            for (int b = 0; b < 128; ++b)
                segment.stopAt[static_cast<size_t>(b)] = (segment.byteMask[static_cast<size_t>(b)] & 1) != 0;
        }
    }
}

void LikePattern::Segment::buildMasks()
{
    words = (items.size() + 63) / 64;
    ascii.assign(128 * words, 0);
    anyOne.assign(words, 0);
    for (size_t k = 0; k < items.size(); ++k) {
        const uint64_t bit = uint64_t{1} << (k % 64);
        const size_t word = k / 64;
        const UChar32 c = items[k];
        if (c == kAnyOne) {
            anyOne[word] |= bit;
            continue;
        }
        if (c < 128) {
            ascii[static_cast<size_t>(c) * words + word] |= bit;
            continue;
        }
        auto found = std::find_if(others.begin(), others.end(), [c](const auto& o) { return o.first == c; });
        if (found == others.end()) {
            others.emplace_back(c, otherMasks.size());
            otherMasks.resize(otherMasks.size() + words, 0);
            found = others.end() - 1;
        }
        otherMasks[found->second + word] |= bit;
    }
    // "_" fits every character: its bits go into every mask.
    for (size_t c = 0; c < 128; ++c) {
        for (size_t w = 0; w < words; ++w)
            ascii[c * words + w] |= anyOne[w];
    }
    for (const auto& [c, at] : others) {
        for (size_t w = 0; w < words; ++w)
            otherMasks[at + w] |= anyOne[w];
    }
    if (words == 1) {
        std::copy_n(ascii.begin(), 128, ascii1.begin());
        anyOne1 = anyOne[0];
        asciiOnly = anyOne1 == 0 && others.empty();
        for (size_t b = 0; b < 128; ++b)
            byteMask[b] = ascii1[asciiLower(b)];
    }
}

uint64_t LikePattern::Segment::maskFor1(UChar32 c) const
{
    if (c >= 0 && c < 128)
        return ascii1[static_cast<size_t>(c)];
    for (const auto& [other, at] : others) {
        if (other == c)
            return otherMasks[at];
    }
    return anyOne1;
}

const uint64_t* LikePattern::Segment::maskFor(UChar32 c) const
{
    if (c >= 0 && c < 128)
        return ascii.data() + static_cast<size_t>(c) * words;
    for (const auto& [other, at] : others) {
        if (other == c)
            return otherMasks.data() + at;
    }
    return anyOne.data();
}

bool LikePattern::Segment::matchesAt(const UChar32* text) const
{
    for (size_t k = 0; k < items.size(); ++k) {
        if (items[k] != kAnyOne && items[k] != text[k])
            return false;
    }
    return true;
}

long long LikePattern::Segment::findEnd(const UChar32* text, size_t from, size_t to) const
{
    // Shift-and: bit k of the state is set when the last k + 1 characters
    // read match the first k + 1 items.
    const size_t last = items.size() - 1;
    const uint64_t lastBit = uint64_t{1} << (last % 64);
    if (words == 1) {
        uint64_t state = 0;
        for (size_t t = from; t < to; ++t) {
            state = ((state << 1) | 1) & *maskFor(text[t]);
            if (state & lastBit)
                return static_cast<long long>(t + 1);
        }
        return -1;
    }
    std::vector<uint64_t> state(words, 0);
    for (size_t t = from; t < to; ++t) {
        const uint64_t* mask = maskFor(text[t]);
        uint64_t carry = 1;
        for (size_t w = 0; w < words; ++w) {
            const uint64_t next = state[w] >> 63;
            state[w] = ((state[w] << 1) | carry) & mask[w];
            carry = next;
        }
        if (state[last / 64] & lastBit)
            return static_cast<long long>(t + 1);
    }
    return -1;
}

void LikePattern::foldText(const char* text, int size, size_t limit, std::vector<UChar32>& out) const
{
    out.clear();
    int i = 0;
    while (i < size && out.size() < limit) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80 && !mFolding.isTurkic()) {
            out.push_back(asciiLower(byte));
            ++i;
            continue;
        }
        UChar32 folded[3];
        const int count = mFolding.fold(nextChar(text, i, size), folded);
        out.insert(out.end(), folded, folded + count);
    }
}

namespace {

// The text's characters after case folding, one at a time.
class FoldedReader {
public:
    FoldedReader(const char* text, int size, const CaseFolding& folding)
        : mText(text), mSize(size), mFolding(folding), mAsciiFast(!folding.isTurkic())
    {
    }

    bool next(UChar32& c)
    {
        if (mPendingAt < mPending) {
            c = mFolded[mPendingAt++];
            return true;
        }
        if (mAt >= mSize)
            return false;
        const auto byte = static_cast<unsigned char>(mText[mAt]);
        if (byte < 0x80 && mAsciiFast) {
            ++mAt;
            c = asciiLower(byte);
            return true;
        }
        mPending = mFolding.fold(nextChar(mText, mAt, mSize), mFolded);
        mPendingAt = 1;
        c = mFolded[0];
        return true;
    }

private:
    const char* mText;
    int mSize;
    int mAt = 0;
    const CaseFolding& mFolding;
    bool mAsciiFast;
    UChar32 mFolded[3] = {};
    int mPending = 0;
    int mPendingAt = 0;
};

} // namespace

std::optional<bool> LikePattern::matchesBytes(const char* text, int size) const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    int at = 0;
    // A character beyond ASCII matches no ASCII letter of the pattern, unless
    // it folds to one: then the character-wise match has to decide.
    const auto risky = [&](int where) {
        if (!mFolding.mayFoldToAscii(bytes[where]))
            return false;
        int i = where;
        return mFolding.foldsToAscii(nextChar(text, i, size));
    };
    size_t first = 0;
    if (!mLeadingPercent) {
        const Segment& head = mSegments.front();
        for (const UChar32 item : head.items) {
            if (at >= size)
                return false;
            const unsigned char b = bytes[at];
            if (b >= 0x80) {
                if (risky(at))
                    return std::nullopt;
                return false;
            }
            if (asciiLower(static_cast<UChar32>(b)) != item)
                return false;
            ++at;
        }
        first = 1;
    }
    for (size_t s = first; s < mSegments.size(); ++s) {
        const Segment& segment = mSegments[s];
        const uint64_t lastBit = uint64_t{1} << (segment.items.size() - 1);
        uint64_t state = 0;
        for (;;) {
            // With no match under way, the next one can only start at a stop.
            if (state == 0) {
                while (at < size && !segment.stopAt[bytes[at]])
                    ++at;
            }
            if (at >= size)
                return false;
            const unsigned char b = bytes[at];
            if (b >= 0x80 && risky(at))
                return std::nullopt;
            state = ((state << 1) | 1) & segment.byteMask[b];
            ++at;
            if (state & lastBit)
                break;
        }
    }
    return true;
}

bool LikePattern::matchesStreaming(const char* text, int size) const
{
    FoldedReader reader(text, size, mFolding);
    size_t first = 0;
    UChar32 c;
    if (!mLeadingPercent) {
        for (const UChar32 item : mSegments.front().items) {
            if (!reader.next(c) || (item != kAnyOne && item != c))
                return false;
        }
        first = 1;
    }
    for (size_t s = first; s < mSegments.size(); ++s) {
        const Segment& segment = mSegments[s];
        const size_t last = segment.items.size() - 1;
        if (segment.words == 1) {
            const uint64_t lastBit = uint64_t{1} << last;
            uint64_t state = 0;
            for (;;) {
                if (!reader.next(c))
                    return false;
                state = ((state << 1) | 1) & segment.maskFor1(c);
                if (state & lastBit)
                    break;
            }
            continue;
        }
        std::vector<uint64_t> state(segment.words, 0);
        const uint64_t lastBit = uint64_t{1} << (last % 64);
        for (;;) {
            if (!reader.next(c))
                return false;
            const uint64_t* mask = segment.maskFor(c);
            uint64_t carry = 1;
            for (size_t w = 0; w < segment.words; ++w) {
                const uint64_t shifted = state[w] >> 63;
                state[w] = ((state[w] << 1) | carry) & mask[w];
                carry = shifted;
            }
            if (state[last / 64] & lastBit)
                break;
        }
    }
    return true;
}

bool LikePattern::matchesFolded(const char* text, int size) const
{
    // Rows are matched one after another on one thread; the buffer is reused.
    thread_local std::vector<UChar32> folded;
    // One huge remark must not keep its folded copy for the rest of the run.
    if (folded.capacity() > (std::size_t{1} << 20))
        folded = std::vector<UChar32>();
    if (!mAnyPercent) {
        const size_t length = mSegments.empty() ? 0 : mSegments[0].items.size();
        foldText(text, size, length + 1, folded);
        return folded.size() == length && (length == 0 || mSegments[0].matchesAt(folded.data()));
    }
    foldText(text, size, SIZE_MAX, folded);

    size_t first = 0;
    size_t end = mSegments.size();
    size_t from = 0;
    size_t to = folded.size();
    if (!mLeadingPercent) {
        const Segment& head = mSegments.front();
        if (head.items.size() > to || !head.matchesAt(folded.data()))
            return false;
        from = head.items.size();
        first = 1;
    }
    if (!mTrailingPercent && first < end) {
        const Segment& tail = mSegments.back();
        if (tail.items.size() > to - from || !tail.matchesAt(folded.data() + to - tail.items.size()))
            return false;
        to -= tail.items.size();
        --end;
    }
    for (size_t s = first; s < end; ++s) {
        const long long found = mSegments[s].findEnd(folded.data(), from, to);
        if (found < 0)
            return false;
        from = static_cast<size_t>(found);
    }
    return true;
}

bool LikePattern::matches(const char* text, int size) const
{
    return matchesFrom(Way::Bytes, text, size);
}

bool LikePattern::matchesFrom(Way first, const char* text, int size) const
{
    if (mAnyPercent && mTrailingPercent) {
        if (first <= Way::Bytes && mAsciiPattern) {
            if (const std::optional<bool> quick = matchesBytes(text, size))
                return *quick;
        }
        if (first <= Way::Streaming)
            return matchesStreaming(text, size);
    }
    return matchesFolded(text, size);
}
