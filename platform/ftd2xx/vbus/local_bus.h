#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ftd2xx/backend.h"
#include "platform/ftd2xx/vbus/chip.h"

namespace platform::vbus {

// Simulated chips hosted in this process: a backend for the FT_* driver (attach it with
// ftd2xx::ScopedBackend) and the store of chips the bus daemon serves to other processes.
class LocalBus final : public ftd2xx::Backend {
public:
    explicit LocalBus(uint32_t firstLocId = 0x1001) : nextLocId_(firstLocId) {}
    LocalBus(const LocalBus&) = delete;
    LocalBus& operator=(const LocalBus&) = delete;

    // Plugs in a chip; the returned chip lives as long as the bus or an open handle on it.
    std::shared_ptr<Chip> plug(ChipIdentity identity, std::unique_ptr<Device> device);
    // Pulls a chip out: it leaves the list and its open handles fail from now on.
    void unplug(const std::shared_ptr<Chip>& chip);

    std::vector<std::shared_ptr<Chip>> chips() const;
    std::shared_ptr<Chip> find(const std::string& serial) const;
    // The chip behind a DeviceEntry::key of this bus.
    std::shared_ptr<Chip> byKey(const std::string& key) const;

    std::vector<ftd2xx::DeviceEntry> list() override;
    FT_STATUS open(const ftd2xx::DeviceEntry& entry, std::unique_ptr<ftd2xx::Port>& port,
                   std::string& why) override;

    // The entry of one chip, as list() gives it.
    static ftd2xx::DeviceEntry entryOf(const Chip& chip, uint32_t locId);

private:
    struct Slot {
        std::shared_ptr<Chip> chip;
        uint32_t locId;
    };
    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    uint32_t nextLocId_;
};

// An open handle on a chip of this process.
class ChipPort final : public ftd2xx::Port {
public:
    explicit ChipPort(std::shared_ptr<Chip> chip) : chip_(std::move(chip)) {}
    ~ChipPort() override { chip_->close(this); }

    FT_STATUS close() override;
    FT_STATUS getDeviceInfo(uint32_t& type, uint32_t& id, std::string& serial,
                            std::string& description) override;
    FT_STATUS getBitMode(uint8_t& pins) override { return chip_->getBitMode(pins); }
    FT_STATUS setBitMode(uint8_t mask, uint8_t mode) override {
        return chip_->setBitMode(mask, mode);
    }
    FT_STATUS purge(uint32_t mask) override { return chip_->purge(mask); }
    FT_STATUS setBaudRate(uint32_t baud) override { return chip_->setBaudRate(baud); }
    FT_STATUS setDataCharacteristics(uint8_t w, uint8_t s, uint8_t p) override {
        return chip_->setDataCharacteristics(w, s, p);
    }
    FT_STATUS setFlowControl(uint16_t flow, uint8_t xon, uint8_t xoff) override {
        return chip_->setFlowControl(flow, xon, xoff);
    }
    FT_STATUS setTimeouts(uint32_t r, uint32_t w) override { return chip_->setTimeouts(r, w); }
    FT_STATUS setLatencyTimer(uint8_t ms) override { return chip_->setLatencyTimer(ms); }
    FT_STATUS read(uint8_t* b, uint32_t n, uint32_t& got) override {
        return chip_->read(b, n, got);
    }
    FT_STATUS write(const uint8_t* b, uint32_t n, uint32_t& written) override {
        return chip_->write(b, n, written);
    }
    FT_STATUS queueStatus(uint32_t& rx) override { return chip_->queueStatus(rx); }
    FT_STATUS status(uint32_t& rx, uint32_t& tx, uint32_t& events) override {
        events = 0;
        return chip_->status(rx, tx);
    }

private:
    std::shared_ptr<Chip> chip_;
};

}  // namespace platform::vbus
