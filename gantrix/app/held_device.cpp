#include "gantrix/app/held_device.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "common/text_printf.h"
#include "gantrix/app/gantrix_texts.h"
#include "platform/ftd2xx/ftd2xx.h"
#include "platform/posix/file_holders.h"
#include "vt5api/link/vt5link.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kSerialLength = 8;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// /dev/bus/usb/BBB/DDD of the USB device whose serial this is, from sysfs; empty when none.
std::string UsbNodeOf(const std::string& chipSerial, const SystemRoots& roots) {
    std::error_code error;
    for (const fs::directory_entry& device :
         fs::directory_iterator(fs::path(roots.sys) / "bus/usb/devices", error)) {
        const fs::path dir = device.path();
        if (FirstLine(dir / "serial") != chipSerial) continue;
        const std::string bus = FirstLine(dir / "busnum");
        const std::string address = FirstLine(dir / "devnum");
        if (bus.empty() || address.empty()) continue;
        return common::Printf("%s/bus/usb/%03d/%03d", roots.dev.c_str(), std::atoi(bus.c_str()),
                              std::atoi(address.c_str()));
    }
    return {};
}

}  // namespace

std::optional<HeldDevice> FindNodeHolder(const std::string& chipSerial, const SystemRoots& roots) {
    if (chipSerial.empty()) return std::nullopt;
    const std::string node = UsbNodeOf(chipSerial, roots);
    if (node.empty()) return std::nullopt;
    for (const platform::FileHolder& holder : platform::ProcessesHoldingFile(node, roots.proc)) {
        if (holder.pid == ::getpid()) continue;
        return HeldDevice{chipSerial, holder.name, holder.pid};
    }
    return std::nullopt;
}

std::optional<HeldDevice> FindHeldDevice(const char* serial, const SystemRoots& roots) {
    uint32_t count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK || count == 0) return std::nullopt;
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    if (FT_GetDeviceInfoList(nodes.data(), &count) != FT_OK) return std::nullopt;
    nodes.resize(std::min<size_t>(count, nodes.size()));
    const bool anySerial = serial == nullptr || *serial == '\0';
    for (const FT_DEVICE_LIST_INFO_NODE& node : nodes) {
        if (node.ID != VT5_HC_USB_ID) continue;
        const std::string chipSerial(node.SerialNumber,
                                     strnlen(node.SerialNumber, sizeof node.SerialNumber));
        if (!anySerial && std::strncmp(chipSerial.c_str(), serial, kSerialLength) != 0) continue;
        // The driver marks what it knows to be opened; a process holding the chip's USB node
        // holds it too, whether or not the driver can tell.
        std::optional<HeldDevice> holder = FindNodeHolder(chipSerial, roots);
        if (holder) return holder;
        if (node.Flags & FT_FLAGS_OPENED) return HeldDevice{chipSerial, {}, 0};
    }
    return std::nullopt;
}

std::string HeldDeviceText(const HeldDevice& held) {
    if (held.program.empty()) return common::Printf(kDeviceInUse, held.serial.c_str());
    return common::Printf(kDeviceInUseBy, held.serial.c_str(), held.program.c_str(), held.pid);
}
