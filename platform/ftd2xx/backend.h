#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ftd2xx/ftd2xx.h"

namespace platform::ftd2xx {

// One device as a backend lists it.
struct DeviceEntry {
    uint32_t flags = 0;  // FT_FLAGS_OPENED while any process holds it, FT_FLAGS_HISPEED
    uint32_t type = FT_DEVICE_X_SERIES;
    uint32_t id = 0;  // vendor << 16 | product
    uint32_t locId = 0;
    std::string serial;
    std::string description;
    std::string key;      // the backend's own name for the device, used to open it
    std::string problem;  // why it cannot be opened, in words, when listing found out
};

// An opened device: the per-handle operations of D2XX.
class Port {
public:
    virtual ~Port() = default;
    virtual FT_STATUS close() = 0;
    virtual FT_STATUS getDeviceInfo(uint32_t& type, uint32_t& id, std::string& serial,
                                    std::string& description) = 0;
    virtual FT_STATUS getBitMode(uint8_t& pins) = 0;
    virtual FT_STATUS setBitMode(uint8_t mask, uint8_t mode) = 0;
    virtual FT_STATUS purge(uint32_t mask) = 0;
    virtual FT_STATUS setBaudRate(uint32_t baud) = 0;
    virtual FT_STATUS setDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                             uint8_t parity) = 0;
    virtual FT_STATUS setFlowControl(uint16_t flow, uint8_t xon, uint8_t xoff) = 0;
    virtual FT_STATUS setTimeouts(uint32_t readMs, uint32_t writeMs) = 0;
    virtual FT_STATUS setLatencyTimer(uint8_t ms) = 0;
    virtual FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t& got) = 0;
    virtual FT_STATUS write(const uint8_t* buffer, uint32_t count, uint32_t& written) = 0;
    virtual FT_STATUS queueStatus(uint32_t& rxBytes) = 0;
    virtual FT_STATUS status(uint32_t& rxBytes, uint32_t& txBytes, uint32_t& events) = 0;
};

// A source of devices.
class Backend {
public:
    virtual ~Backend() = default;
    virtual std::vector<DeviceEntry> list() = 0;
    // On failure, `why` may say in words what stood in the way.
    virtual FT_STATUS open(const DeviceEntry& entry, std::unique_ptr<Port>& port,
                           std::string& why) = 0;
};

}  // namespace platform::ftd2xx
