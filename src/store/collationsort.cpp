#include "store/collationsort.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <thread>

#include <unicode/ucol.h>
#include <unicode/uiter.h>

#include "base/apperror.h"
#include "store/asciicase.h"
#include "store/textrules.h"

namespace {

// From this many rows on, a sort shares its work with a second thread.
constexpr size_t kRowsForHelper = 20000;

CollationPrefix prefixOf(const UCollator* collator, QByteArrayView utf8)
{
    UCharIterator text;
    uiter_setUTF8(&text, utf8.data(), static_cast<int32_t>(utf8.size()));
    uint32_t state[2] = {0, 0};
    uint8_t bytes[CollationPrefix::kBytes] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t got = ucol_nextSortKeyPart(collator, &text, state, bytes, CollationPrefix::kBytes, &status);
    CollationPrefix prefix;
    // A failing collator leaves an empty key, which sorts first.
    prefix.length = U_FAILURE(status) ? 0 : got;
    for (int32_t b = 0; b < prefix.length; ++b)
        prefix.words[static_cast<size_t>(b / 8)] |= uint64_t{bytes[b]} << (8 * (7 - b % 8));
    return prefix;
}

} // namespace

struct CollationPrefixMaker::Collator {
    std::unique_ptr<UCollator, CollatorCloser> own;
};

CollationPrefixMaker::CollationPrefixMaker() : mCollator(new Collator)
{
    UErrorCode status = U_ZERO_ERROR;
    mCollator->own.reset(ucol_clone(&nameOrderCollator(), &status));
    if (U_FAILURE(status) || !mCollator->own) {
        delete mCollator;
        throw AppError(
            QStringLiteral("The text collation is not available: %1").arg(QString::fromLatin1(u_errorName(status))));
    }
}

CollationPrefixMaker::~CollationPrefixMaker()
{
    delete mCollator;
}

CollationPrefix CollationPrefixMaker::of(QByteArrayView utf8) const
{
    return prefixOf(mCollator->own.get(), utf8);
}

// Sorts row numbers stably by the collation of their texts. A whole
// collation key costs time with the text's length, yet most texts differ
// within their first letters: every row gets the first bytes of its key only
// (ICU makes them from the first letters), and only rows whose beginnings tie
// are compared whole, a comparison stopping at the first difference.
// tieBreak, when given, orders rows whose texts the collation calls equal.
void collationSort(std::vector<uint32_t>& order, const std::function<QByteArrayView(size_t)>& textOf, bool descending,
                   const std::function<int(uint32_t, uint32_t)>& tieBreak)
{
    const size_t rows = order.size();
    std::vector<CollationPrefix> prefixes(rows);
    const auto makePrefixes = [&](const UCollator* own, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            prefixes[i] = prefixOf(own, textOf(i));
    };
    // A long list shares the work with a second thread, on a collator of
    // its own.
    const UCollator* collator = &nameOrderCollator();
    UErrorCode cloned = U_ZERO_ERROR;
    const std::unique_ptr<UCollator, CollatorCloser> helperCollator(
        rows >= kRowsForHelper && std::thread::hardware_concurrency() > 1 ? ucol_clone(collator, &cloned) : nullptr);
    if (helperCollator && U_SUCCESS(cloned)) {
        std::thread helper(makePrefixes, helperCollator.get(), rows / 2, rows);
        makePrefixes(collator, 0, rows / 2);
        helper.join();
    } else {
        makePrefixes(collator, 0, rows);
    }
    collationSortByPrefixes(order, prefixes, textOf, descending, tieBreak);
}

namespace {

// The comparisons of the list's name order on rows whose prefixes are made.
struct PrefixComparisons {
    const std::vector<CollationPrefix>& prefixes;
    const std::function<QByteArrayView(size_t)>& textOf;
    const std::function<int(uint32_t, uint32_t)>& tieBreak;
    bool descending;

    bool byPrefix(uint32_t a, uint32_t b) const
    {
        return descending ? prefixes[b] < prefixes[a] : prefixes[a] < prefixes[b];
    }
    // For rows whose prefixes tie: a prefix shorter than kBytes is the whole
    // key, so only longer ones need the whole texts compared. The same
    // comparison that puts a single changed row in its place, so that the two
    // always agree.
    bool afterPrefix(uint32_t a, uint32_t b) const
    {
        int c = 0;
        if (prefixes[a].length >= CollationPrefix::kBytes) {
            const QByteArrayView ta = textOf(a);
            const QByteArrayView tb = textOf(b);
            c = compareNoCase(ta.data(), static_cast<int>(ta.size()), tb.data(), static_cast<int>(tb.size()));
        }
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return tieBreak && tieBreak(a, b) < 0;
    }
    bool whole(uint32_t a, uint32_t b) const
    {
        if (prefixes[a] != prefixes[b])
            return byPrefix(a, b);
        return afterPrefix(a, b);
    }
    // Puts the runs of tied prefixes that start before until in their order;
    // the end of the last of them.
    template <typename Iterator> Iterator settleRuns(Iterator first, Iterator until, Iterator last) const
    {
        const bool needsAfter = static_cast<bool>(tieBreak);
        Iterator run = first;
        while (run < until) {
            Iterator runEnd = run + 1;
            while (runEnd != last && prefixes[*runEnd] == prefixes[*run])
                ++runEnd;
            if (runEnd - run > 1 && (needsAfter || prefixes[*run].length >= CollationPrefix::kBytes))
                std::stable_sort(run, runEnd, [this](uint32_t a, uint32_t b) { return afterPrefix(a, b); });
            run = runEnd;
        }
        return run;
    }
};

// Sorts order stably with sortPart over each half of a long list at once,
// then merges the halves with less, taking from the first half on ties.
template <typename SortPart, typename Less>
void sortInHalves(std::vector<uint32_t>& order, SortPart sortPart, Less less)
{
    if (order.size() < kRowsForHelper) {
        sortPart(order.begin(), order.end());
        return;
    }
    // Merged on one core too, which costs one merge.
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(order.size() / 2);
    std::exception_ptr helperError;
    std::thread helper([&] {
        try {
            sortPart(middle, order.end());
        } catch (...) {
            helperError = std::current_exception();
        }
    });
    try {
        sortPart(order.begin(), middle);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (helperError)
        std::rethrow_exception(helperError);
    std::vector<uint32_t> merged(order.size());
    std::merge(order.begin(), middle, middle, order.end(), merged.begin(), less);
    order.swap(merged);
}

} // namespace

void collationSortByPrefixes(std::vector<uint32_t>& order, const std::vector<CollationPrefix>& prefixes,
                             const std::function<QByteArrayView(size_t)>& textOf, bool descending,
                             const std::function<int(uint32_t, uint32_t)>& tieBreak)
{
    const PrefixComparisons compare{prefixes, textOf, tieBreak, descending};
    // By prefix first, then only the rows whose prefixes tie by the rest.
    sortInHalves(
        order,
        [&](auto first, auto last) {
            std::stable_sort(first, last, [&](uint32_t a, uint32_t b) { return compare.byPrefix(a, b); });
            compare.settleRuns(first, last, last);
        },
        [&](uint32_t a, uint32_t b) { return compare.whole(a, b); });
}

void sortByPrefixesOnly(std::vector<uint32_t>& order, const std::vector<CollationPrefix>& prefixes, bool descending)
{
    const std::function<QByteArrayView(size_t)> noText;
    const std::function<int(uint32_t, uint32_t)> noTieBreak;
    const PrefixComparisons compare{prefixes, noText, noTieBreak, descending};
    const auto less = [&](uint32_t a, uint32_t b) { return compare.byPrefix(a, b); };
    sortInHalves(
        order, [&](auto first, auto last) { std::stable_sort(first, last, less); }, less);
}

size_t settleTies(std::span<uint32_t> order, size_t from, size_t to, const std::vector<CollationPrefix>& prefixes,
                  const std::function<QByteArrayView(size_t)>& textOf, bool descending,
                  const std::function<int(uint32_t, uint32_t)>& tieBreak)
{
    const PrefixComparisons compare{prefixes, textOf, tieBreak, descending};
    const auto at = [&](size_t row) { return order.begin() + static_cast<std::ptrdiff_t>(row); };
    return static_cast<size_t>(compare.settleRuns(at(from), at(to), order.end()) - order.begin());
}
// SQLite's own NOCASE: ASCII letters without case, every other byte as it is.
int asciiNoCase(QByteArrayView a, QByteArrayView b)
{
    const qsizetype shorter = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < shorter; ++i) {
        const auto ca = asciiLower(static_cast<unsigned char>(a[i]));
        const auto cb = asciiLower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
