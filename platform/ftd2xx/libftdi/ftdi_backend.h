#pragma once

#include <mutex>
#include <set>
#include <string>

#include "platform/ftd2xx/backend.h"

namespace platform::ftd2xx {

// Real FT230X chips (0403:6015) through libftdi1. Listing needs read access to the USB
// device (see the udev rule shipped with the suite); a chip whose strings cannot be read is
// listed with an empty serial and description.
class FtdiBackend final : public Backend {
public:
    std::vector<DeviceEntry> list() override;
    FT_STATUS open(const DeviceEntry& entry, std::unique_ptr<Port>& port,
                   std::string& why) override;

    // Kept by the ports: libusb cannot tell whether this process holds a device.
    void markOpen(const std::string& key, bool open);

private:
    std::mutex mutex_;
    std::set<std::string> open_;
};

}  // namespace platform::ftd2xx
