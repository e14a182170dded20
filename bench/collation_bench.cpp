// Sorting 100,000 generated names with the NOCASE rules against the ICU
// collator called directly for every comparison.
#include <benchmark/benchmark.h>

#include <algorithm>

#include <unicode/ucol.h>

#include "store/textrules.h"
#include "support/contactgen.h"

namespace {

std::vector<QByteArray> names()
{
    static std::vector<QByteArray> all = [] {
        std::vector<QByteArray> result;
        for (const Contact& values : generateContacts(100000))
            result.push_back(values[contact::Field::Name].toUtf8());
        return result;
    }();
    return all;
}

void BM_SortWithNoCase(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<QByteArray> sorted = names();
        std::sort(sorted.begin(), sorted.end(), [](const QByteArray& a, const QByteArray& b) {
            return compareNoCase(a.constData(), static_cast<int>(a.size()), b.constData(), static_cast<int>(b.size())) <
                   0;
        });
        benchmark::DoNotOptimize(sorted.data());
    }
}
BENCHMARK(BM_SortWithNoCase)->Unit(benchmark::kMillisecond);

void BM_SortWithCollatorOnly(benchmark::State& state)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    ucol_setStrength(collator, UCOL_SECONDARY);
    for (auto _ : state) {
        std::vector<QByteArray> sorted = names();
        std::sort(sorted.begin(), sorted.end(), [collator](const QByteArray& a, const QByteArray& b) {
            UErrorCode s = U_ZERO_ERROR;
            return ucol_strcollUTF8(collator, a.constData(), static_cast<int32_t>(a.size()), b.constData(),
                                    static_cast<int32_t>(b.size()), &s) == UCOL_LESS;
        });
        benchmark::DoNotOptimize(sorted.data());
    }
    ucol_close(collator);
}
BENCHMARK(BM_SortWithCollatorOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

namespace {
void BM_SortBytes(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<QByteArray> sorted = names();
        std::sort(sorted.begin(), sorted.end());
        benchmark::DoNotOptimize(sorted.data());
    }
}
BENCHMARK(BM_SortBytes)->Unit(benchmark::kMillisecond);
} // namespace
