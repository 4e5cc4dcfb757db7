#include <benchmark/benchmark.h>

#include <memory>

#include "starloom/model/starloom_model.h"

namespace starloom {
namespace {

constexpr int64_t kExposureMs = 1000;

// A model as an emulation start leaves it: seed 2 (or the empty field), 1 s exposures.
std::unique_ptr<StarloomModel> MakeModel(int32_t seed) {
    auto model = std::make_unique<StarloomModel>();
    model->StartEmulation("", 1.0f);
    model->sky().GenerateStarField(seed);
    return model;
}

// One exposure of 1 s finished into a frame: the simulated second and the frame making.
void BM_ExposureAndFrame(benchmark::State& state, int32_t seed) {
    auto model = MakeModel(seed);
    int64_t t = 0;
    for (auto _ : state) {
        model->frames().StartExposure(t, 1.0f, 6);
        model->frames().FinishFrame(t + kExposureMs);
        benchmark::DoNotOptimize(model->frames().FrameBytes().data());
        t += kExposureMs;
    }
    state.counters["bytes"] = static_cast<double>(model->frames().FrameBytes().size());
}
BENCHMARK_CAPTURE(BM_ExposureAndFrame, empty_field, -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExposureAndFrame, seed_2, 2)->Unit(benchmark::kMillisecond);

// FinishFrame alone: the photons of the 1 s exposure are already placed.
void BM_FinishFrame(benchmark::State& state, int32_t seed) {
    auto model = MakeModel(seed);
    int64_t t = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model->frames().StartExposure(t, 1.0f, 6);
        model->frames().AdvanceTo(t + kExposureMs);
        state.ResumeTiming();
        model->frames().FinishFrame(t + kExposureMs);
        benchmark::DoNotOptimize(model->frames().FrameBytes().data());
        t += kExposureMs;
    }
    state.counters["bytes"] = static_cast<double>(model->frames().FrameBytes().size());
}
BENCHMARK_CAPTURE(BM_FinishFrame, empty_field, -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FinishFrame, seed_2, 2)->Unit(benchmark::kMillisecond);

// One simulated second of AdvanceTo (100 steps) with the seed-2 field in a 1 s exposure.
void BM_AdvanceOneSecond(benchmark::State& state) {
    auto model = MakeModel(2);
    int64_t t = 0;
    int64_t photons = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model->frames().StartExposure(t, 1.0f, 6);
        state.ResumeTiming();
        model->frames().AdvanceTo(t + kExposureMs);
        photons += model->frames().photonsEmitted();
        t += kExposureMs;
    }
    state.counters["photons/s"] =
        benchmark::Counter(static_cast<double>(photons), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AdvanceOneSecond)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace starloom
