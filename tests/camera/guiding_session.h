#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "hcsim/camera/autoguider.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "starloom/emulation/emulation_loop.h"
#include "tests/support/bus_fixture.h"

namespace camtest {

// RMS of the RA and DEC drift lines of a log, in pixels.
struct DriftRms {
    double ra = 0;
    double dec = 0;
    int frames = 0;
};

// AG DRIFT lines of a guiding log: after the calibration and before guiding starts, and
// from the start of guiding on.
struct LogDrifts {
    DriftRms unguided, guided;
};
LogDrifts driftsOf(const std::filesystem::path& log);

// Copies a file of the HC's card to `to` with the file system commands, as Gantrix's card
// browser does; empty on success, else what failed.
std::string downloadFromCard(CVT5Api& api, const std::string& cardPath,
                             const std::filesystem::path& to);

// A simulated HC with its card in a private folder, on a private bus and the virtual clock,
// for Starloom's emulation loop to drive.
class GuidingSession {
public:
    static constexpr const char* kSerial = "LOOPHC01";
    // The loop steps less often than Starloom's 5 ms timer: the events carry their times, so
    // the model moves the same; frames only reach the HC a little later.
    static constexpr int kStepMs = 100;

    GuidingSession();

    hcsim::SimulatedHc& hc() { return *hc_; }
    // A control command of the HC; its reply.
    std::string control(const std::string& command) { return hc_->control(command); }
    hcsim::camera::Autoguider::Mode mode();
    std::filesystem::path logPath();
    const std::filesystem::path& folder() const { return bus_.dir().path(); }

    // Steps the emulation for `ms` of the HC's time, or until `until` holds; the first
    // error of a step.
    int32_t run(starloom::EmulationLoop& loop, int64_t ms, const std::function<bool()>& until = {});

    // Starloom's emulation with `settings` against the HC: the HC calibrates, follows the
    // unguided drift for `unguidedMs`, then guides an exposure of `exposeSeconds`; the
    // emulation is stopped at the end. Empty on success, else what went wrong.
    std::string calibrateDriftAndGuide(CVT5Api& api, const starloom::EmulationSettings& settings,
                                       int64_t unguidedMs, int exposeSeconds);

private:
    vt5test::BusFixture bus_;
    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    std::unique_ptr<hcsim::SimulatedHc> hc_;
};

}  // namespace camtest
