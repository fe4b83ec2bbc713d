// The report list's rows at 100,000 bookmarks: filling, emptying and sorting,
// with texts supplied on demand as the form view supplies them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/ListRows.h"

namespace {

constexpr int kRows = 100000;

// Names of varied length with shared beginnings, as bookmark names have.
std::vector<std::string> MakeNames() {
    std::vector<std::string> names;
    std::uint64_t nState = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < kRows; ++i) {
        nState = nState * 6364136223846793005ull + 1442695040888963407ull;
        names.push_back("Bookmark " + std::to_string(nState >> 40) + " of the list");
    }
    return names;
}

const std::vector<std::string>& Names() {
    static const std::vector<std::string> s_names = MakeNames();
    return s_names;
}

void Fill(CListRows& rows) {
    for (int i = 0; i < kRows; ++i) {
        rows.InsertItem(i, reinterpret_cast<std::intptr_t>(&Names()[static_cast<std::size_t>(i)]));
    }
}

int CompareNames(std::intptr_t a, std::intptr_t b, std::intptr_t) {
    return reinterpret_cast<const std::string*>(a)->compare(
        *reinterpret_cast<const std::string*>(b));
}

void BM_ListInsert100k(benchmark::State& state) {
    for (auto _ : state) {
        CListRows rows;
        Fill(rows);
        benchmark::DoNotOptimize(rows.GetItemCount());
        state.PauseTiming();
        rows.DeleteAllItems();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ListInsert100k)->Unit(benchmark::kMillisecond);

void BM_ListDeleteAll100k(benchmark::State& state) {
    CListRows rows;
    for (auto _ : state) {
        state.PauseTiming();
        Fill(rows);
        state.ResumeTiming();
        rows.DeleteAllItems();
    }
}
BENCHMARK(BM_ListDeleteAll100k)->Unit(benchmark::kMillisecond);

void BM_ListSort100k(benchmark::State& state) {
    CListRows rows;
    for (auto _ : state) {
        state.PauseTiming();
        rows.DeleteAllItems();
        Fill(rows);
        state.ResumeTiming();
        rows.SortItems(CompareNames, 0);
    }
}
BENCHMARK(BM_ListSort100k)->Unit(benchmark::kMillisecond);

}  // namespace
