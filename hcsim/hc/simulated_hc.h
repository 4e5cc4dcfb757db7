#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hcsim/hc/hc_device.h"
#include "platform/ftd2xx/vbus/local_bus.h"

namespace hcsim {

// A simulated HC plugged into an in-process virtual USB bus, for tests. Attach the bus to the
// FT_* driver (platform::ftd2xx::ScopedBackend) and the HC is listed and opened like a real
// one; set VT5_USB_BUS to a path of the test's own and VT5_USB_BACKENDS=none, so that no
// vt5-hcsim daemon or real chip of the user joins the list.
//
//   platform::VirtualClock clock;
//   platform::ScopedClock useClock(clock);   // ESC pulses and time-outs cost no real time
//   platform::vbus::LocalBus bus;
//   platform::ftd2xx::ScopedBackend attach(bus);
//   hcsim::HcConfig config;
//   config.serial = "HC000001";
//   hcsim::SimulatedHc hc(bus, config);
//   hc.inject(hcsim::Fault::wrongCounter());  // the next answer echoes another counter
//
// The HC answers at once in its config.startMode (firmware by default; Off: it waits for an
// ESC pulse). It is unplugged when this object ends; the bus must outlive it. Every member takes
// the chip's lock, so tests may call them while another thread talks to the HC; bytes the HC sends
// from them (asynchronous messages) reach the PC's receive queue at once.
class SimulatedHc {
public:
    SimulatedHc(platform::vbus::LocalBus& bus, HcConfig config = {});
    ~SimulatedHc();
    SimulatedHc(const SimulatedHc&) = delete;
    SimulatedHc& operator=(const SimulatedHc&) = delete;

    const std::string& serial() const { return serial_; }
    const std::shared_ptr<platform::vbus::Chip>& chip() const { return chip_; }

    // Runs f(HcDevice&) or f(HcDevice&, TimePoint now, Bytes& out) under the chip's lock and
    // returns its result; bytes f puts into `out` reach the PC like the HC's own.
    template <class F>
    auto with(F&& f);

    // Power and mode, as HcDevice offers them; false when the HC is in no state for it.
    HcMode mode();        // what runs and answers (Off also while starting or in reset)
    std::string state();  // HcDevice::state()
    bool powerOn(HcMode mode);
    bool powerOff();
    bool changeMode(HcMode mode);
    bool reset();
    bool sendAsync(uint8_t code);
    // A text command of hc_control.h, as `vt5-hcsim control` sends it.
    std::string control(const std::string& command);

    // Faults for the next `times` answers (a stall: commands); see faults.h.
    void inject(Fault fault, int times = 1);
    void clearFaults();

    // Copies of the last command messages the HC received, oldest first, with their bulk
    // data (HcDevice::kReceivedKept of them).
    std::vector<Message> received();
    void clearReceived();

    // Pulls the chip out: open handles fail from now on and the bus lists it no more.
    void unplug();
    bool plugged() const;

private:
    platform::vbus::LocalBus& bus_;
    std::string serial_;
    std::shared_ptr<platform::vbus::Chip> chip_;
};

template <class F>
auto SimulatedHc::with(F&& f) {
    using platform::vbus::Device;
    constexpr bool full = std::is_invocable_v<F&, HcDevice&, TimePoint, Bytes&>;
    auto call = [&](HcDevice& hc, TimePoint now, Bytes& out) -> decltype(auto) {
        if constexpr (full)
            return f(hc, now, out);
        else
            return f(hc);
    };
    using R = decltype(call(std::declval<HcDevice&>(), TimePoint{}, std::declval<Bytes&>()));
    if constexpr (std::is_void_v<R>) {
        chip_->withDevice([&](Device& d, TimePoint now, Bytes& out) {
            call(static_cast<HcDevice&>(d), now, out);
        });
    } else {
        std::optional<std::decay_t<R>> result;
        chip_->withDevice([&](Device& d, TimePoint now, Bytes& out) {
            result.emplace(call(static_cast<HcDevice&>(d), now, out));
        });
        return std::move(*result);
    }
}

}  // namespace hcsim
