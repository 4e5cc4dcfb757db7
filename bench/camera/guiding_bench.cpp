// The simulated HC's guider against Starloom's model, on the virtual clock:
//   - guiding RMS in RA and DEC (arcseconds, as the HC measures the star) while guided,
//     against the unguided drift of the same model over the same time;
//   - the HC's own work per frame: reading it, and finding or following the guide star.
// Run by hand: build/bench/camera/camera_guiding_bench

#include <benchmark/benchmark.h>

#include <memory>

#include "hcsim/camera/frame_decoder.h"
#include "hcsim/camera/star_measure.h"
#include "starloom/model/starloom_model.h"
#include "tests/camera/guiding_session.h"

namespace {

constexpr double kPixelScale = 4.3948;  // arcseconds per pixel at 176 mm
constexpr int kMinutes = 10;

struct Scenario {
    float altitudeError = 0;  // arcseconds
    float azimuthError = 0;
    double hours = 0;  // from the meridian
    float backlash = 0;
    int agSpeedSelection = 1;  // 0.5x
};

// Calibrates, drifts unguided for 10 minutes, then guides a 10-minute exposure.
void BM_GuidingRms(benchmark::State& state, Scenario scenario) {
    for (auto _ : state) {
        camtest::GuidingSession session;
        session.control("guider set exposure 2000");
        starloom::EmulationSettings settings;
        settings.mount.altitudeError = scenario.altitudeError;
        settings.mount.azimuthError = scenario.azimuthError;
        settings.mount.agSpeedSelection = scenario.agSpeedSelection;
        settings.hoursFromMeridian = scenario.hours;
        settings.backlash = scenario.backlash > 0;
        settings.backlashSeconds = scenario.backlash;
        CVT5Api api;
        if (VT5_Open(&api, camtest::GuidingSession::kSerial, nullptr, 0, nullptr) != 0) {
            state.SkipWithError("cannot open the simulated HC");
            return;
        }
        const std::string failure =
            session.calibrateDriftAndGuide(api, settings, kMinutes * 60'000, kMinutes * 60);
        VT5_Close(&api);
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            return;
        }
        const camtest::LogDrifts d = camtest::driftsOf(session.logPath());
        state.counters["unguided_ra_arcsec"] = d.unguided.ra * kPixelScale;
        state.counters["unguided_dec_arcsec"] = d.unguided.dec * kPixelScale;
        state.counters["guided_ra_arcsec"] = d.guided.ra * kPixelScale;
        state.counters["guided_dec_arcsec"] = d.guided.dec * kPixelScale;
        state.counters["guided_frames"] = d.guided.frames;
    }
}
BENCHMARK_CAPTURE(BM_GuidingRms, periodic_error_only, Scenario{})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_GuidingRms, polar_and_periodic_error, Scenario{600, 1800, -1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_GuidingRms, polar_error_dec_backlash_3s, Scenario{600, 1800, -1, 3})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_GuidingRms, polar_error_guide_speed_0_25x, Scenario{600, 1800, -1, 0, 2})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// A 1 s frame of seed 2 as Starloom sends it.
std::vector<uint8_t> modelFrame() {
    auto model = std::make_unique<starloom::StarloomModel>();
    model->StartEmulation("", 1.0f);
    model->frames().StartExposure(1000, 1.0f, 6);
    model->frames().FinishFrame(2000);
    auto bytes = model->frames().FrameBytes();
    return {bytes.begin(), bytes.end()};
}

// What the HC does with each frame while guiding: read it, take the sky level, measure the
// star near where it was.
void BM_HcFrameWhileGuiding(benchmark::State& state) {
    const std::vector<uint8_t> frame = modelFrame();
    hcsim::camera::FrameImage image;
    auto first = hcsim::camera::decodeFrame(frame.data(), frame.size(), image);
    auto star = hcsim::camera::findGuideStar(image, hcsim::camera::estimateBackground(image), {});
    if (first.kind != hcsim::camera::FrameKind::Image || !star) {
        state.SkipWithError("no guide star in the frame");
        return;
    }
    for (auto _ : state) {
        hcsim::camera::decodeFrame(frame.data(), frame.size(), image);
        const auto bg = hcsim::camera::estimateBackground(image);
        benchmark::DoNotOptimize(
            hcsim::camera::measureStarNear(image, bg, {}, star->x, star->y, 16));
    }
    state.counters["frame_bytes"] = static_cast<double>(frame.size());
}
BENCHMARK(BM_HcFrameWhileGuiding)->Unit(benchmark::kMillisecond);

// Choosing a guide star on the whole frame (the first frame, or after the star was lost).
void BM_HcFindGuideStar(benchmark::State& state) {
    const std::vector<uint8_t> frame = modelFrame();
    hcsim::camera::FrameImage image;
    hcsim::camera::decodeFrame(frame.data(), frame.size(), image);
    const auto bg = hcsim::camera::estimateBackground(image);
    for (auto _ : state)
        benchmark::DoNotOptimize(hcsim::camera::findGuideStar(image, bg, {}));
}
BENCHMARK(BM_HcFindGuideStar)->Unit(benchmark::kMillisecond);

}  // namespace
