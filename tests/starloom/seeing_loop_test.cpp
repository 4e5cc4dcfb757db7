// The whole guiding loop under seeing: Starloom's emulation feeds the simulated HC, whose
// autoguider calibrates and guides on the frames; the HC's guiding log then tells how well it
// guided. Seeing moves the star between frames, so the guided RMS must grow with it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hcsim/camera/camera_emulation_family.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "starloom/emulation/emulation_loop.h"
#include "tests/support/bus_fixture.h"

namespace {

using hcsim::camera::Autoguider;

struct GuidedRms {
    double ra = 0;  // arcseconds, the standard deviation of the drift over the guided frames
    double dec = 0;
    int frames = 0;
};

// The RA and DEC drifts (pixels) of the frames guided in a guiding log.
GuidedRms RmsOfLog(const std::filesystem::path& log, double arcsecondsPerPixel) {
    std::ifstream in(log);
    std::string line;
    bool guiding = false;
    std::vector<double> ra, dec;
    while (std::getline(in, line)) {
        if (line.find("\tAG START") != std::string::npos) guiding = true;
        if (line.find("\tAG STOP") != std::string::npos) guiding = false;
        const std::size_t at = line.find("\tAG DRIFT\t");
        if (!guiding || at == std::string::npos) continue;
        std::istringstream fields(line.substr(at + 10));
        double r = 0, d = 0;
        char tab = 0;
        if (fields >> r >> std::noskipws >> tab >> std::skipws >> d) {
            ra.push_back(r);
            dec.push_back(d);
        }
    }
    auto sd = [](const std::vector<double>& v) {
        double mean = 0, squares = 0;
        for (double x : v)
            mean += x;
        mean /= static_cast<double>(v.size());
        for (double x : v)
            squares += (x - mean) * (x - mean);
        return std::sqrt(squares / static_cast<double>(v.size()));
    };
    GuidedRms rms;
    rms.frames = static_cast<int>(ra.size());
    if (rms.frames > 1) {
        rms.ra = sd(ra) * arcsecondsPerPixel;
        rms.dec = sd(dec) * arcsecondsPerPixel;
    }
    return rms;
}

class SeeingLoop : public ::testing::Test {
protected:
    // Calibrates and then guides for `guidedFrames` frames under seeing of that FWHM, on a
    // fresh HC, and reads the guided RMS from the HC's log.
    GuidedRms Guide(float fwhm, int guidedFrames) {
        const std::string serial = "SEEING0" + std::to_string(++runs_);
        hcsim::HcConfig config;
        config.serial = serial;
        config.cardDir = bus.dir().path() / ("card" + serial);
        std::filesystem::create_directories(config.cardDir);
        hcsim::SimulatedHc hc(bus.bus(), config);
        // Short calibration pulses at the 1x guide speed: the HC calibrates in half a minute.
        EXPECT_EQ(hc.control("guider set calibration-step 4000").substr(0, 2), "ok");

        CVT5Api api;
        EXPECT_EQ(VT5_Open(&api, serial.c_str(), nullptr, 0, "seeing test"), VT5_OK);
        auto model = std::make_unique<starloom::StarloomModel>();
        starloom::EmulationLoop loop(api, *model);
        loop.SetSeeingFile("");
        starloom::EmulationSettings settings;
        settings.mount.agSpeedSelection = 0;
        settings.seeingFwhm = fwhm;
        EXPECT_EQ(loop.Begin([&] { loop.ApplyAll(settings); }), VT5_OK);

        auto guider = [&] {
            return hc.with([](hcsim::HcDevice& d) {
                const Autoguider& a = d.family<hcsim::CameraEmulationFamily>()->autoguider();
                return std::make_pair(a.mode(), a.counters().frames);
            });
        };
        auto run = [&](auto until) {
            // A bound of simulated time, not of waiting: the loop either gets there or fails.
            for (int ms = 0; ms < 600'000 && !until(); ms += 5) {
                if (loop.Step() != VT5_OK) return false;
                platform::sleepMs(5);
            }
            return until();
        };
        EXPECT_TRUE(run([&] { return guider().second >= 3; })) << "no frames";
        EXPECT_EQ(hc.control("guide start").substr(0, 2), "ok");
        EXPECT_TRUE(run([&] { return guider().first == Autoguider::Mode::Guiding; }))
            << "never guided";
        const auto start = guider().second;
        EXPECT_TRUE(run([&] { return guider().second >= start + guidedFrames; }));
        EXPECT_EQ(hc.control("guide stop").substr(0, 2), "ok");
        EXPECT_EQ(loop.End(), VT5_OK);
        VT5_Close(&api);

        std::filesystem::path log;
        for (const auto& entry :
             std::filesystem::directory_iterator(config.cardDir / hcsim::camera::GuideLog::kFolder))
            log = entry.path();
        return RmsOfLog(log, model->mount().imageScale());
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture bus;
    int runs_ = 0;
};

TEST_F(SeeingLoop, GuidedRmsGrowsWithTheSeeing) {
    constexpr int kGuidedFrames = 40;
    const float fwhms[] = {0.0f, 1.0f, 2.0f, 3.0f};
    std::vector<GuidedRms> rms;
    for (float fwhm : fwhms) {
        rms.push_back(Guide(fwhm, kGuidedFrames));
        std::printf(
            "seeing %.0f\" FWHM: guided RMS RA %.2f\" DEC %.2f\" total %.2f\" (%d frames)\n", fwhm,
            rms.back().ra, rms.back().dec, std::hypot(rms.back().ra, rms.back().dec),
            rms.back().frames);
        ASSERT_GE(rms.back().frames, kGuidedFrames - 2);
    }
    const auto total = [&](std::size_t i) { return std::hypot(rms[i].ra, rms[i].dec); };
    // 3" seeing moves the star by about half an arcsecond per axis between 1 s frames; the
    // guider cannot follow that, so both axes guide worse by a clear margin.
    EXPECT_GT(rms[3].ra, rms[0].ra + 0.15);
    EXPECT_GT(rms[3].dec, rms[0].dec + 0.15);
    EXPECT_GT(total(3), total(0) + 0.3);
    // Each step of a whole arcsecond of seeing shows in the total, beyond the frames' noise.
    EXPECT_GT(total(2), total(0));
    EXPECT_GT(total(3), total(1));
}

}  // namespace
