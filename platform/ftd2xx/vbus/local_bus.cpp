#include "platform/ftd2xx/vbus/local_bus.h"

#include <algorithm>

namespace platform::vbus {

std::shared_ptr<Chip> LocalBus::plug(ChipIdentity identity, std::unique_ptr<Device> device) {
    auto chip = std::make_shared<Chip>(std::move(identity), std::move(device));
    std::lock_guard<std::mutex> guard(mutex_);
    slots_.push_back({chip, nextLocId_++});
    return chip;
}

void LocalBus::unplug(const std::shared_ptr<Chip>& chip) {
    chip->unplug();
    std::lock_guard<std::mutex> guard(mutex_);
    slots_.erase(
        std::remove_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.chip == chip; }),
        slots_.end());
}

std::vector<std::shared_ptr<Chip>> LocalBus::chips() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::shared_ptr<Chip>> out;
    for (const Slot& s : slots_)
        out.push_back(s.chip);
    return out;
}

std::shared_ptr<Chip> LocalBus::find(const std::string& serial) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Slot& s : slots_)
        if (s.chip->identity().serial == serial) return s.chip;
    return nullptr;
}

std::shared_ptr<Chip> LocalBus::byKey(const std::string& key) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Slot& s : slots_)
        if (std::to_string(s.locId) == key) return s.chip;
    return nullptr;
}

ftd2xx::DeviceEntry LocalBus::entryOf(const Chip& chip, uint32_t locId) {
    ftd2xx::DeviceEntry e;
    const ChipIdentity& id = chip.identity();
    e.flags = (chip.isOpen() ? FT_FLAGS_OPENED : 0) | (id.highSpeed ? FT_FLAGS_HISPEED : 0);
    e.type = id.type;
    e.id = id.id;
    e.locId = locId;
    e.serial = id.serial;
    e.description = id.description;
    e.key = std::to_string(locId);
    return e;
}

std::vector<ftd2xx::DeviceEntry> LocalBus::list() {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<ftd2xx::DeviceEntry> out;
    for (const Slot& s : slots_)
        out.push_back(entryOf(*s.chip, s.locId));
    return out;
}

FT_STATUS LocalBus::open(const ftd2xx::DeviceEntry& entry, std::unique_ptr<ftd2xx::Port>& port,
                         std::string&) {
    std::shared_ptr<Chip> chip = byKey(entry.key);
    if (!chip) return FT_DEVICE_NOT_FOUND;
    auto p = std::make_unique<ChipPort>(chip);
    FT_STATUS st = chip->open(p.get());
    if (st != FT_OK) return st;  // the port's close leaves another owner's hold alone
    port = std::move(p);
    return FT_OK;
}

FT_STATUS ChipPort::close() {
    chip_->close(this);
    return FT_OK;
}

FT_STATUS ChipPort::getDeviceInfo(uint32_t& type, uint32_t& id, std::string& serial,
                                  std::string& description) {
    if (!chip_->isPlugged()) return FT_IO_ERROR;
    const ChipIdentity& ident = chip_->identity();
    type = ident.type;
    id = ident.id;
    serial = ident.serial;
    description = ident.description;
    return FT_OK;
}

}  // namespace platform::vbus
