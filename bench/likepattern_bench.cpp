// What each of LikePattern's ways to an answer saves: the window's search over
// 100,000 generated contacts, held in memory so that only the matching is
// timed, its patterns matched as it matches them ("T%" on the name, phone
// numbers and e-mail, "%T%" on the rest, a row done at its first match),
// starting at one way and passing on what that way does not serve. Against
// the last way alone, which folds every text whole.
#include <benchmark/benchmark.h>

#include <vector>

#include <QByteArray>

#include "model/contact.h"
#include "store/casefolding.h"
#include "store/likepattern.h"
#include "support/contactgen.h"

namespace {

using Way = LikePattern::Way;

struct Row {
    std::vector<QByteArray> values;
};

const std::vector<Row>& rows()
{
    static const std::vector<Row> all = [] {
        std::vector<Row> made;
        for (const Contact& values : generateContacts(100000)) {
            Row row;
            for (const contact::FieldInfo& field : contact::fields())
                row.values.push_back(values[field.field].toUtf8());
            made.push_back(std::move(row));
        }
        return made;
    }();
    return all;
}

LikePattern compiled(const QByteArray& pattern)
{
    return LikePattern(pattern.constData(), static_cast<int>(pattern.size()), 0, CaseFolding::standard());
}

void BM_SearchLike(benchmark::State& state, const char* text, Way first)
{
    const QByteArray utf8(text);
    const LikePattern atStart = compiled(utf8 + '%');
    const LikePattern anywhere = compiled('%' + utf8 + '%');
    const auto& fields = contact::fields();
    // Made before the clock starts, or the first run would time making them.
    const std::vector<Row>& all = rows();
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (const Row& row : all) {
            for (size_t f = 0; f < fields.size(); ++f) {
                const QByteArray& value = row.values[f];
                const LikePattern& pattern = fields[f].searchAnywhere ? anywhere : atStart;
                if (pattern.matchesFrom(first, value.constData(), static_cast<int>(value.size()))) {
                    ++found;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows"] = found;
}

BENCHMARK_CAPTURE(BM_SearchLike, martin_bytes, "martin", Way::Bytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchLike, martin_streaming, "martin", Way::Streaming)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchLike, martin_folded, "martin", Way::Folded)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchLike, 12_bytes, "12", Way::Bytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchLike, 12_streaming, "12", Way::Streaming)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchLike, 12_folded, "12", Way::Folded)->Unit(benchmark::kMillisecond);
// Bytes serves ASCII patterns only: a Cyrillic search starts at Streaming.
BENCHMARK_CAPTURE(BM_SearchLike, cyrillic_streaming, "\xd0\xb1\xd0\xbe\xd1\x80", Way::Streaming)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchLike, cyrillic_folded, "\xd0\xb1\xd0\xbe\xd1\x80", Way::Folded)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
