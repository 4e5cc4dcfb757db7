#include "vt5api/options/named_devices.h"

#include "platform/registry/registry.h"
#include "vt5api/options/connection_options.h"

namespace reg = platform::registry;

namespace {

constexpr uint32_t kMaxName = 255;
constexpr uint32_t kMaxText = 1023;

// The query's result for a REG_SZ read into a buffer of the longest description.
reg::LSTATUS QueryText(const reg::Key& key, const std::string& name, uint32_t& type,
                       std::string& text) {
    char data[kMaxText + 2] = {};
    uint32_t size = kMaxText + 1;
    reg::LSTATUS status = key.queryValue(name, &type, data, &size);
    if (status == reg::ERROR_SUCCESS) text = data;
    return status;
}

}  // namespace

int32_t EnumNamedDevice(int32_t& index, std::string& serial, std::string& description) {
    if (index < 0) return 0;
    reg::Key info;
    if (reg::LSTATUS status = reg::createKey(VT5_CONNECTION_INFO_KEY, info); status) return status;
    for (;; ++index) {
        char name[kMaxName + 1] = {};
        char data[kMaxText + 2] = {};
        uint32_t nameSize = sizeof name;
        uint32_t dataSize = kMaxText + 1;
        uint32_t type = reg::REG_NONE;
        reg::LSTATUS status =
            info.enumValue(static_cast<uint32_t>(index), name, &nameSize, &type, data, &dataSize);
        if (status == reg::ERROR_MORE_DATA) continue;
        if (status != reg::ERROR_SUCCESS) return status;
        if (type != reg::REG_SZ) continue;
        serial = name;
        description = data;
        ++index;
        return 0;
    }
}

int32_t SetNamedDevice(const std::string& serial, const std::string& description,
                       int32_t onlyIfAbsent) {
    reg::Key info;
    if (reg::LSTATUS status = reg::createKey(VT5_CONNECTION_INFO_KEY, info); status) return status;
    if (onlyIfAbsent) {
        reg::LSTATUS status = info.queryValue(serial, nullptr, nullptr, nullptr);
        if (status == reg::ERROR_SUCCESS) return 0;
    }
    return info.setString(serial, description);
}

int32_t RemoveNamedDevice(const std::string& serial) {
    reg::Key info;
    if (reg::LSTATUS status = reg::createKey(VT5_CONNECTION_INFO_KEY, info); status) return status;
    return info.deleteValue(serial);
}

int32_t FindNamedDevice(std::string& serial) {
    reg::Key info;
    if (serial.empty() || reg::openKey(VT5_CONNECTION_INFO_KEY, info)) return 0;
    uint32_t type = reg::REG_NONE;
    std::string description;
    if (QueryText(info, serial, type, description) || type != reg::REG_SZ) return 0;
    serial = description;
    return 1;
}

std::vector<std::pair<std::string, std::string>> ListNamedDevices() {
    std::vector<std::pair<std::string, std::string>> devices;
    std::string serial, description;
    for (int32_t index = 0; EnumNamedDevice(index, serial, description) == 0;)
        devices.emplace_back(serial, description);
    return devices;
}
