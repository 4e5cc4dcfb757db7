#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace vt5test {

// A simulated HC on a private in-process bus, the virtual clock, and an API context.
class HcFixture : public ::testing::Test {
protected:
    explicit HcFixture(hcsim::HcConfig config = {}) {
        config.serial = "HC000001";
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    }

    int32_t open() { return VT5_Open(&api, nullptr, nullptr, 0, nullptr); }

    // One 0xF8/0x11 (hardware ID) command through the low-level operations.
    int32_t hardwareIdExchange() {
        int32_t r = api.BeginCommand(0xF8);
        if (r == VT5_OK) r = api.AddParam(0x11, nullptr, 0);
        return r == VT5_OK ? api.Exchange() : r;
    }

    // Milliseconds of virtual time that f takes.
    template <class F>
    int64_t elapsedMs(F f) {
        auto start = platform::now();
        f();
        return std::chrono::duration_cast<platform::Millis>(platform::now() - start).count();
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    BusFixture bus;
    std::unique_ptr<hcsim::SimulatedHc> hc;
    CVT5Api api;
};

}  // namespace vt5test
