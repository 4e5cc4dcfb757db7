// A whole night's guiding log (ten hours at one frame per second): reading, interpreting and
// writing the complete report.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "bench/report/night_log.h"
#include "gantrix/report/graph_images.h"
#include "gantrix/report/interpret.h"
#include "gantrix/report/line_table.h"
#include "gantrix/report/parallel_for.h"
#include "gantrix/report/report_generator.h"

namespace {

namespace fs = std::filesystem;

struct Night {
    fs::path folder;
    std::string text;
    std::string path;

    Night() {
        std::random_device random;
        folder = fs::temp_directory_path() / ("vt5-report-bench-" + std::to_string(random()));
        fs::create_directories(folder);
        text = NightLog(10);
        path = (folder / "night_log_1.txt").string();
        std::ofstream(path, std::ios::binary) << text;
    }
    ~Night() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const Night& TheNight() {
    static const Night night;
    return night;
}

void BM_ReadLogFile(benchmark::State& state) {
    const Night& night = TheNight();
    report::LineTable table;
    for (auto _ : state) {
        if (table.ReadLogFile(night.path) != 0) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(table.Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(night.text.size()));
    state.counters["lines"] = double(table.Size());
    state.counters["MB"] = double(night.text.size()) / 1e6;
}
BENCHMARK(BM_ReadLogFile)->Unit(benchmark::kMillisecond);

void BM_Interpret(benchmark::State& state) {
    const Night& night = TheNight();
    report::LineTable table;
    table.ReadLogFile(night.path);
    report::LogState log;
    for (auto _ : state) {
        if (!report::Interpret(table, log)) state.SkipWithError("interpret failed");
        benchmark::DoNotOptimize(log.exposures.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(night.text.size()));
    state.counters["exposures"] = double(log.exposures.size());
}
BENCHMARK(BM_Interpret)->Unit(benchmark::kMillisecond);

void BM_ReadAndInterpret(benchmark::State& state) {
    const Night& night = TheNight();
    report::LineTable table;
    report::LogState log;
    for (auto _ : state) {
        table.ReadLogFile(night.path);
        if (!report::Interpret(table, log)) state.SkipWithError("interpret failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(night.text.size()));
}
BENCHMARK(BM_ReadAndInterpret)->Unit(benchmark::kMillisecond);

// CPU time of every thread of the process so far.
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Everything: read, interpret, draw and encode every graph, write every page; on one thread
// and on every usable core, side by side (wall-clock time: the work is spread over threads).
void BM_GenerateReport(benchmark::State& state) {
    const Night& night = TheNight();
    report::ReportGenerator generator(report::LoadReportResources(), int(state.range(0)));
    const std::string folder = (night.folder / "Processed/night_log_1").string();
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        const std::string error = generator.GenerateReport(night.path, folder);
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
    // The work of all threads: about the same on one core and on all of them.
    state.counters["process_cpu_ms"] = benchmark::Counter((ProcessCpuSeconds() - cpuBefore) * 1000,
                                                          benchmark::Counter::kAvgIterations);
    int pages = 0;
    while (fs::exists(fs::path(folder) / ("guiexpo_" + std::to_string(pages + 1) + ".html"))) {
        ++pages;
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_GenerateReport)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(report::UsableCores())
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// One exposure of the night (600 frames): drawing its graphs alone, and drawing plus encoding.
report::ExposureRecord OneExposure() {
    report::LineTable table;
    table.ReadLogFile(TheNight().path);
    report::LogState log;
    if (!report::Interpret(table, log) || log.exposures.empty()) return {};
    return log.exposures.front();
}

void BM_DrawExposureGraphs(benchmark::State& state) {
    const report::ExposureRecord exposure = OneExposure();
    for (auto _ : state) {
        report::ExposureRecord e = exposure;
        report::ExposureGraphs graphs;
        report::DrawExposureGraphs(e, graphs);
        benchmark::DoNotOptimize(graphs.scales.gridScale);
    }
}
BENCHMARK(BM_DrawExposureGraphs)->Unit(benchmark::kMillisecond);

void BM_WriteExposureGraphs(benchmark::State& state) {
    const report::ExposureRecord exposure = OneExposure();
    const fs::path folder = TheNight().folder / "graphs";
    fs::create_directories(folder / "dat");
    int64_t pixels = 0;
    for (auto _ : state) {
        report::ExposureRecord e = exposure;
        report::GraphScales scales;
        if (!report::WriteExposureGraphs(e, 1, folder.string(), scales)) {
            state.SkipWithError("write failed");
        }
        const int64_t w = report::GraphWidth(int(e.frames.size()));
        pixels += 3 * w * 161 + 3 * w * 101 + 2 * 256 * 256;
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteExposureGraphs)->Unit(benchmark::kMillisecond);

}  // namespace
