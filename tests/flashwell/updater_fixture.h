#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "flashwell/firmware/firmware_file.h"
#include "hcsim/boot/boot_loader_family.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "tests/flashwell/recording_view.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_target.h"

namespace vt5test {

// A simulated HC (BOOT mode unless told otherwise) on a private bus and the virtual clock, the
// updater's API context, a recording view and the sample firmware files.
class UpdaterFixture : public ::testing::Test {
protected:
    hcsim::SimulatedHc& plugHc(hcsim::HcMode mode = hcsim::HcMode::Boot, uint8_t hardwareId = 3);
    // A sample file of tests/data/firmware, loaded.
    static LoadedFirmware sample(const std::string& name);
    static std::string samplePath(const std::string& name);
    // The HC's and the camera's firmware as the simulated HC keeps it: "status=0 version=..."
    std::string firmware();

    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    BusFixture bus_;
    std::unique_ptr<hcsim::SimulatedHc> hc_;
    CVT5Api api_;
    RecordingView view_;
    VT5ConnectionTarget direct_;  // any HC, over USB
};

}  // namespace vt5test
