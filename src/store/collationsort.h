#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <QByteArrayView>

// Sorting by the list's name order (compareNoCase, store/textrules.h) with
// sort keys made by its collator.

// Sorts row numbers (order holds each of 0..order.size()-1) stably by the
// collation of textOf(row), UTF-8. tieBreak, when given, orders rows whose texts the
// collation calls equal; rows it calls equal too keep their place in order.
// textOf is called from two threads at once for a long list.
void collationSort(std::vector<uint32_t>& order, const std::function<QByteArrayView(size_t)>& textOf, bool descending,
                   const std::function<int(uint32_t, uint32_t)>& tieBreak = {});

// The first bytes of a text's collation key, as big-endian numbers with zeros
// after the key's end, and how many there were: fewer than kBytes is the
// whole key. Most texts differ within them.
struct CollationPrefix {
    static constexpr int32_t kBytes = 16;
    std::array<uint64_t, kBytes / 8> words{};
    int32_t length = 0;
    auto operator<=>(const CollationPrefix&) const = default;
};

// Makes prefixes on a collator of its own, so that each thread can have one.
class CollationPrefixMaker {
public:
    CollationPrefixMaker();
    ~CollationPrefixMaker();
    CollationPrefixMaker(const CollationPrefixMaker&) = delete;
    CollationPrefixMaker& operator=(const CollationPrefixMaker&) = delete;

    CollationPrefix of(QByteArrayView utf8) const;

private:
    struct Collator;
    Collator* mCollator;
};

// collationSort with every row's prefix made already, say while the rows
// were being read.
void collationSortByPrefixes(std::vector<uint32_t>& order, const std::vector<CollationPrefix>& prefixes,
                             const std::function<QByteArrayView(size_t)>& textOf, bool descending,
                             const std::function<int(uint32_t, uint32_t)>& tieBreak = {});

// collationSortByPrefixes in two steps, for a caller with work to do between
// them. The first puts the rows in the order of their prefixes alone, ties in
// the order given. The second puts a part of that order in its final order:
// from order[from] (0 or the start of a run of equal prefixes) to the end of
// the run that holds order[to - 1], which it returns. A part that ends where
// a run ends may be settled beside another part.
void sortByPrefixesOnly(std::vector<uint32_t>& order, const std::vector<CollationPrefix>& prefixes, bool descending);
size_t settleTies(std::span<uint32_t> order, size_t from, size_t to, const std::vector<CollationPrefix>& prefixes,
                  const std::function<QByteArrayView(size_t)>& textOf, bool descending,
                  const std::function<int(uint32_t, uint32_t)>& tieBreak = {});

// SQLite's own NOCASE: ASCII letters without case, every other byte as it
// is. Names the collation calls equal stand in this order in the list.
int asciiNoCase(QByteArrayView a, QByteArrayView b);
