// Reading logs of many short lines into the line table: the time per line stays flat as the
// log grows (a table grown by a fixed step copied itself once per step). The last size is
// a log of some 250 MB.
#include <benchmark/benchmark.h>

#include <string>

#include "gantrix/report/line_table.h"

namespace {

std::string ShortLines(size_t count) {
    std::string text;
    text.reserve(count * 25);
    for (size_t i = 0; i < count; ++i) {
        text += "2021-3-7\t1:2:3.";
        text += std::to_string(i % 1000);
        text += "\tCAM X\n";
    }
    return text;
}

void BM_ReadShortLines(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string text = ShortLines(count);
    report::LineTable table;
    for (auto _ : state) {
        if (table.ReadLogData(text) != report::kReadOk || table.Size() != count)
            return state.SkipWithError("the log did not read");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadShortLines)
    ->Arg(500'000)
    ->Arg(1'000'000)
    ->Arg(2'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
