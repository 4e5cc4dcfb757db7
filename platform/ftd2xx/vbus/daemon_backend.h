#pragma once

#include "platform/ftd2xx/backend.h"

namespace platform::vbus {

// The chips that the vt5-hcsim daemon serves on the bus socket (bus_path.h). No daemon, no
// devices. Each open handle is a connection of its own, so a process that ends releases its
// chips with its sockets.
class DaemonBackend final : public ftd2xx::Backend {
public:
    std::vector<ftd2xx::DeviceEntry> list() override;
    FT_STATUS open(const ftd2xx::DeviceEntry& entry, std::unique_ptr<ftd2xx::Port>& port,
                   std::string& why) override;

    // Sends a control command to the device of the chip with this serial; false when the
    // daemon or the chip is not there (reply then says why).
    static bool control(const std::string& serial, const std::string& command, std::string& reply);
};

}  // namespace platform::vbus
