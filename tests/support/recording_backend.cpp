#include "tests/support/recording_backend.h"

#include <cstdio>

namespace vt5test {
namespace {

using platform::ftd2xx::Port;

std::string hex(unsigned v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

class RecordingPort final : public Port {
public:
    RecordingPort(RecordingBackend& log, std::unique_ptr<Port> inner)
        : log_(log), inner_(std::move(inner)) {}

    FT_STATUS close() override {
        log_.record("Close");
        return inner_->close();
    }
    FT_STATUS getDeviceInfo(uint32_t& t, uint32_t& i, std::string& s, std::string& d) override {
        log_.record("GetDeviceInfo");
        return inner_->getDeviceInfo(t, i, s, d);
    }
    FT_STATUS getBitMode(uint8_t& pins) override {
        log_.record("GetBitMode");
        return inner_->getBitMode(pins);
    }
    FT_STATUS setBitMode(uint8_t mask, uint8_t mode) override {
        log_.record("SetBitMode " + hex(mask) + " " + hex(mode));
        return inner_->setBitMode(mask, mode);
    }
    FT_STATUS purge(uint32_t mask) override {
        log_.record("Purge " + std::to_string(mask));
        return inner_->purge(mask);
    }
    FT_STATUS setBaudRate(uint32_t baud) override {
        log_.record("SetBaudRate " + std::to_string(baud));
        return inner_->setBaudRate(baud);
    }
    FT_STATUS setDataCharacteristics(uint8_t w, uint8_t s, uint8_t p) override {
        log_.record("SetDataCharacteristics " + std::to_string(w) + " " + std::to_string(s) + " " +
                    std::to_string(p));
        return inner_->setDataCharacteristics(w, s, p);
    }
    FT_STATUS setFlowControl(uint16_t flow, uint8_t xon, uint8_t xoff) override {
        log_.record("SetFlowControl " + hex(flow) + " " + std::to_string(xon) + " " +
                    std::to_string(xoff));
        return inner_->setFlowControl(flow, xon, xoff);
    }
    FT_STATUS setTimeouts(uint32_t r, uint32_t w) override {
        log_.record("SetTimeouts " + std::to_string(r) + " " + std::to_string(w));
        return inner_->setTimeouts(r, w);
    }
    FT_STATUS setLatencyTimer(uint8_t ms) override {
        log_.record("SetLatencyTimer " + std::to_string(ms));
        return inner_->setLatencyTimer(ms);
    }
    FT_STATUS read(uint8_t* b, uint32_t n, uint32_t& got) override {
        log_.record("Read " + std::to_string(n));
        return inner_->read(b, n, got);
    }
    FT_STATUS write(const uint8_t* b, uint32_t n, uint32_t& written) override {
        log_.record("Write " + std::to_string(n));
        return inner_->write(b, n, written);
    }
    FT_STATUS queueStatus(uint32_t& rx) override {
        log_.record("GetQueueStatus");
        return inner_->queueStatus(rx);
    }
    FT_STATUS status(uint32_t& rx, uint32_t& tx, uint32_t& events) override {
        log_.record("GetStatus");
        return inner_->status(rx, tx, events);
    }

private:
    RecordingBackend& log_;
    std::unique_ptr<Port> inner_;
};

}  // namespace

std::vector<platform::ftd2xx::DeviceEntry> RecordingBackend::list() {
    return inner_.list();
}

FT_STATUS RecordingBackend::open(const platform::ftd2xx::DeviceEntry& entry,
                                 std::unique_ptr<Port>& port, std::string& why) {
    record("Open " + entry.serial);
    std::unique_ptr<Port> inner;
    FT_STATUS st = inner_.open(entry, inner, why);
    if (st == FT_OK) port = std::make_unique<RecordingPort>(*this, std::move(inner));
    return st;
}

std::vector<std::string> RecordingBackend::calls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
}

std::vector<std::string> RecordingBackend::calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls())
        if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
}

void RecordingBackend::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.clear();
}

void RecordingBackend::record(std::string call) {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(std::move(call));
}

}  // namespace vt5test
