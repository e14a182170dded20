#include "store/likepattern.h"

#include <algorithm>

#include <unicode/utf8.h>

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
            out.push_back(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
            ++i;
            continue;
        }
        UChar32 folded[3];
        const int count = mFolding.fold(nextChar(text, i, size), folded);
        out.insert(out.end(), folded, folded + count);
    }
}

bool LikePattern::matches(const char* text, int size) const
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
    // "T%", the search's usual form, needs only the text's beginning.
    const bool prefixOnly = !mLeadingPercent && mSegments.size() == 1;
    foldText(text, size, prefixOnly ? mSegments[0].items.size() : SIZE_MAX, folded);

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
