// The night summary: the analysis alone and the whole summary with its graphs and files, for
// a ten-hour night (one frame per second) and for the sample logs, on one thread and on every
// core.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "bench/report/night_log.h"
#include "gantrix/report/interpret.h"
#include "gantrix/report/line_table.h"
#include "gantrix/report/night/night_analysis.h"
#include "gantrix/report/night/night_report.h"
#include "gantrix/report/parallel_for.h"

namespace {

namespace fs = std::filesystem;

struct Interpreted {
    report::LineTable lines;
    report::LogState state;
    size_t frames = 0;

    explicit Interpreted(const std::string& text) {
        if (lines.ReadLogData(text) != 0 || !report::Interpret(lines, state)) state = {};
        for (const report::ExposureRecord& e : state.exposures)
            frames += e.frames.size();
    }
};

const Interpreted& TenHours() {
    static const Interpreted night(NightLog(10));
    return night;
}

// The same night with guiding stopped for a frame every hour: ten stretches to analyse.
const Interpreted& TenHoursInterrupted() {
    static const Interpreted night = [] {
        Interpreted interrupted(NightLog(10));
        report::LogTime next = interrupted.state.logStartTime;
        for (report::ExposureRecord& e : interrupted.state.exposures) {
            if (e.startTime < next || e.frames.empty()) continue;
            e.frames.front().guided = 0;
            next = e.startTime + 3600000;
        }
        return interrupted;
    }();
    return night;
}

const std::vector<Interpreted>& Samples() {
    static const std::vector<Interpreted> samples = [] {
        std::vector<Interpreted> logs;
        logs.reserve(3);
        for (const char* name : {"vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"}) {
            std::ifstream in(fs::path(VT5_SAMPLE_LOGS) / name, std::ios::binary);
            logs.emplace_back(std::string(std::istreambuf_iterator<char>(in), {}));
        }
        return logs;
    }();
    return samples;
}

struct Folder {
    fs::path path;
    Folder() {
        std::random_device random;
        path = fs::temp_directory_path() / ("vt5-night-bench-" + std::to_string(random()));
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

int ThreadsOf(const benchmark::State& state) {
    return state.range(0) == 0 ? report::UsableCores() : int(state.range(0));
}

void BM_AnalyseTenHourNight(benchmark::State& state) {
    const Interpreted& night = TenHours();
    const report::night::NightOptions options{std::nullopt, ThreadsOf(state)};
    for (auto _ : state) {
        const report::night::NightSummary summary =
            report::night::AnalyseNight(night.state, "night_log_1.txt", options);
        benchmark::DoNotOptimize(summary.pePeakToPeak);
    }
    state.counters["frames"] = double(night.frames);
    state.counters["threads"] = options.threads;
}
BENCHMARK(BM_AnalyseTenHourNight)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_AnalyseTenHourNightInterrupted(benchmark::State& state) {
    const Interpreted& night = TenHoursInterrupted();
    const report::night::NightOptions options{std::nullopt, ThreadsOf(state)};
    size_t stretches = 0;
    for (auto _ : state) {
        const report::night::NightSummary summary =
            report::night::AnalyseNight(night.state, "night_log_1.txt", options);
        stretches = summary.stretches.size();
    }
    state.counters["stretches"] = double(stretches);
    state.counters["threads"] = options.threads;
}
BENCHMARK(BM_AnalyseTenHourNightInterrupted)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_SummaryTenHourNight(benchmark::State& state) {
    const Interpreted& night = TenHours();
    const report::night::NightOptions options{std::nullopt, ThreadsOf(state)};
    Folder folder;
    for (auto _ : state) {
        if (!report::night::WriteNightSummary(night.state, folder.path.string(), "night_log_1.txt",
                                              options)
                 .empty()) {
            state.SkipWithError("summary failed");
        }
    }
    state.counters["threads"] = options.threads;
}
BENCHMARK(BM_SummaryTenHourNight)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_SummarySampleLogs(benchmark::State& state) {
    const std::vector<Interpreted>& samples = Samples();
    const report::night::NightOptions options{std::nullopt, ThreadsOf(state)};
    Folder folder;
    for (auto _ : state) {
        for (size_t i = 0; i < samples.size(); ++i) {
            const std::string out = (folder.path / std::to_string(i)).string();
            if (!report::night::WriteNightSummary(samples[i].state, out, "log.txt", options)
                     .empty()) {
                state.SkipWithError("summary failed");
            }
        }
        if (!report::night::WriteNightIndex(folder.path.string()).empty())
            state.SkipWithError("index failed");
    }
    state.counters["threads"] = options.threads;
}
BENCHMARK(BM_SummarySampleLogs)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
