// Reading logs of many short lines into the line table: the time per line stays flat as the
// log grows (a table grown by a fixed step copied itself once per step). The last size is
// a log of some 250 MB.
#include <benchmark/benchmark.h>

#include <string>

#include "gantrix/report/line_table.h"
#include "tests/report/log_builder.h"

namespace {

void BM_ReadShortLines(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const std::string text = report::testing::ShortLines(count, "CAM X");
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
