// Arbitrary collect answers from the HC: the camera emulation commands and Starloom's
// emulation step on top must neither crash, hang nor leak, whatever events an HC sends.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/clock/clock.h"
#include "platform/ftd2xx/driver.h"
#include "platform/ftd2xx/vbus/local_bus.h"
#include "starloom/emulation/emulation_loop.h"
#include "tests/starloom/event_hc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4000) return 0;
    // Made once: the model is large, and the empty sky keeps each step quick.
    static auto* model = new starloom::StarloomModel;
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attached(bus);
    auto device = std::make_unique<vt5test::EventHc>();
    vt5test::EventHc& hc = *device;
    platform::vbus::ChipIdentity identity;
    identity.serial = "FUZZ0001";
    identity.description = "Veltra-5 HandController";
    auto chip = bus.plug(identity, std::move(device));
    hc.hcTime = size ? data[0] * 1000u : 0u;
    // Each collect answers the next piece of the input; a piece is cut at 255 bytes at most so
    // that the answer stays within a message.
    for (size_t at = 1; at < size;) {
        const size_t n = std::min<size_t>(data[at], 255);
        const size_t end = std::min(size, at + 1 + n);
        hc.rawCollect(platform::vbus::Bytes(data + at + 1, data + end));
        at = end;
    }

    CVT5Api api;
    if (VT5_Open(&api, nullptr, nullptr, 0, nullptr) != VT5_OK) return 0;
    starloom::EmulationLoop loop(api, *model);
    loop.SetSeeingFile("");
    if (loop.Begin([&] {
            starloom::EmulationSettings settings;
            settings.seed = -1;
            loop.ApplyAll(settings);
        }) != VT5_OK)
        return 0;
    for (int step = 0; step < 16; ++step)
        loop.Step();
    loop.End();
    VT5_Close(&api);
    return 0;
}
