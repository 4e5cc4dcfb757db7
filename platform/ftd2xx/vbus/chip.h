#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ftd2xx/ftd2xx.h"
#include "platform/ftd2xx/vbus/device.h"

namespace platform::vbus {

struct ChipIdentity {
    uint32_t id = 0x04036015;  // vendor << 16 | product
    uint32_t type = FT_DEVICE_X_SERIES;
    std::string serial;  // up to 15 characters
    std::string description;
    bool highSpeed = false;
};

// A simulated FTDI USB-serial chip: identity, line settings, receive queue with the D2XX
// time-outs, CBUS bit-bang pins and exclusive opening, with a Device at the far end of its
// serial line. Thread-safe: the in-process bus and the bus daemon's sessions call it from
// several threads.
class Chip {
public:
    Chip(ChipIdentity identity, std::unique_ptr<Device> device);
    ~Chip();
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    const ChipIdentity& identity() const { return identity_; }
    bool isOpen() const;
    bool isPlugged() const;

    // Exclusive opening: FT_DEVICE_NOT_OPENED while another owner holds the chip.
    FT_STATUS open(const void* owner);
    void close(const void* owner);

    FT_STATUS setBaudRate(uint32_t baud);
    FT_STATUS setDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity);
    FT_STATUS setFlowControl(uint16_t flow, uint8_t xon, uint8_t xoff);
    FT_STATUS setTimeouts(uint32_t readMs, uint32_t writeMs);
    FT_STATUS setLatencyTimer(uint8_t ms);
    FT_STATUS setBitMode(uint8_t mask, uint8_t mode);
    FT_STATUS getBitMode(uint8_t& pins);
    FT_STATUS purge(uint32_t mask);
    // Waits up to the read time-out (0 = no limit) for `count` bytes. `maxWaitMs` caps this
    // call's wait, for callers that wait in slices; -1 = no cap.
    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t& got, int64_t maxWaitMs = -1);
    FT_STATUS write(const uint8_t* buffer, uint32_t count, uint32_t& written);
    FT_STATUS queueStatus(uint32_t& rxBytes);
    FT_STATUS status(uint32_t& rxBytes, uint32_t& txBytes);
    uint32_t readTimeoutMs() const;

    std::string control(const std::string& command);

    // Runs f on the device under the chip's lock (tests reach into the device this way);
    // what f puts into its output reaches the PC like any reply of the device.
    void withDevice(const std::function<void(Device&, TimePoint now, Bytes& out)>& f);

    // Bytes take as long as on a real line at the chip's baud rate (10 bits a byte at 8N1).
    void setPaced(bool paced);
    // Every later write times out without sending anything.
    void setWriteStall(bool stall);
    // Pulling the plug: every later operation of the current owner fails with FT_IO_ERROR.
    void unplug();

private:
    int64_t bitsPerByte() const;
    std::chrono::nanoseconds lineTime(size_t bytes) const;
    void tick(TimePoint now);
    void deliver(Bytes& out, TimePoint at);
    uint32_t inFlight(TimePoint lineFreeAt, TimePoint now, size_t queued) const;
    uint32_t readyCount(TimePoint now) const;
    uint8_t pinLevels() const;
    void notifyPins(TimePoint now);

    const ChipIdentity identity_;
    std::unique_ptr<Device> device_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    const void* owner_ = nullptr;
    bool plugged_ = true;
    bool paced_ = false;
    bool writeStall_ = false;
    LineSettings line_;
    uint8_t latencyMs_ = 16;
    uint32_t readTimeoutMs_ = 0;
    uint32_t writeTimeoutMs_ = 0;
    uint8_t bitModeMask_ = 0;  // high nibble: output pins, low nibble: their levels
    bool cbusMode_ = false;
    uint8_t lastPins_ = 0;
    Bytes rx_;  // PC-bound bytes; the ones still on the line are its tail
    size_t rxHead_ = 0;
    TimePoint rxLineFreeAt_{};
    TimePoint txLineFreeAt_{};
};

}  // namespace platform::vbus
