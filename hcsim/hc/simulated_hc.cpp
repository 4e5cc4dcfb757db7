#include "hcsim/hc/simulated_hc.h"

namespace hcsim {

SimulatedHc::SimulatedHc(platform::vbus::LocalBus& bus, HcConfig config)
    : bus_(bus), serial_(config.serial) {
    platform::vbus::ChipIdentity identity;
    identity.id = config.usbId;
    identity.serial = config.serial;
    identity.description = config.description;
    chip_ = bus_.plug(std::move(identity), std::make_unique<HcDevice>(std::move(config)));
}

SimulatedHc::~SimulatedHc() {
    unplug();
}

HcMode SimulatedHc::mode() {
    return with([](HcDevice& hc) { return hc.mode(); });
}

std::string SimulatedHc::state() {
    return with([](HcDevice& hc) { return hc.state(); });
}

bool SimulatedHc::powerOn(HcMode mode) {
    return with([&](HcDevice& hc) { return hc.powerOn(mode); });
}

bool SimulatedHc::powerOff() {
    return with([](HcDevice& hc, TimePoint, Bytes& out) { return hc.powerOff(out); });
}

bool SimulatedHc::changeMode(HcMode mode) {
    return with(
        [&](HcDevice& hc, TimePoint now, Bytes& out) { return hc.changeMode(mode, now, out); });
}

bool SimulatedHc::reset() {
    return with([](HcDevice& hc, TimePoint now, Bytes&) { return hc.reset(now); });
}

bool SimulatedHc::sendAsync(uint8_t code) {
    return with([&](HcDevice& hc, TimePoint, Bytes& out) { return hc.sendAsync(code, out); });
}

std::string SimulatedHc::control(const std::string& command) {
    return chip_->control(command);
}

void SimulatedHc::inject(Fault fault, int times) {
    with([&](HcDevice& hc) { hc.faults().add(std::move(fault), times); });
}

void SimulatedHc::clearFaults() {
    with([](HcDevice& hc) { hc.faults().clear(); });
}

std::vector<Message> SimulatedHc::received() {
    return with([](HcDevice& hc) {
        return std::vector<Message>(hc.received().begin(), hc.received().end());
    });
}

void SimulatedHc::clearReceived() {
    with([](HcDevice& hc) { hc.clearReceived(); });
}

void SimulatedHc::unplug() {
    if (chip_->isPlugged()) bus_.unplug(chip_);
}

bool SimulatedHc::plugged() const {
    return chip_->isPlugged();
}

}  // namespace hcsim
