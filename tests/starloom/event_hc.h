#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/ftd2xx/vbus/device.h"

namespace vt5test {

// An HC whose camera emulation events a test writes by hand: it answers the handshake and
// protocol queries, start (with a given HC time) and stop, hands out the queued events at
// each collect and keeps every frame it is sent, answering it once its last byte is in.
// Only for exact tests of the PC's side; the simulated HC has the real camera emulation.
class EventHc final : public platform::vbus::Device {
public:
    using Bytes = platform::vbus::Bytes;

    explicit EventHc(bool boot = false) : boot_(boot) {}

    // An event: its code, the HC time and a payload of 0 or 2 bytes.
    void event(uint8_t code, uint32_t time) { events_.push_back(Entry(code, time, {})); }
    void event(uint8_t code, uint32_t time, uint16_t payload) {
        events_.push_back(Entry(code, time, {uint8_t(payload), uint8_t(payload >> 8)}));
    }
    // The next collect answers these entries as they stand, however malformed.
    void rawCollect(Bytes entries) { raw_.push_back(std::move(entries)); }
    // The next answers of this kind get this answer type (32: can't execute).
    void refuseCollect(uint8_t type = 32) { collectType_ = type; }
    void refuseFrame(uint8_t type = 32) { frameType_ = type; }

    uint32_t hcTime = 12345;
    std::vector<Bytes> frames;        // every frame received, in order
    std::vector<uint8_t> parameters;  // of every 0xF9 command without bulk data, in order

    void onReceive(const uint8_t* data, size_t count, const platform::vbus::LineSettings& line,
                   platform::TimePoint, Bytes& out) override {
        if (line.baud != 3000000) return;
        if (bulkLeft_ > 0) {
            size_t n = std::min(count, bulkLeft_);
            frames.back().insert(frames.back().end(), data, data + n);
            bulkLeft_ -= n;
            if (bulkLeft_ == 0) frameAnswer(out, frameCounter_);
            return;
        }
        if (count < 4) return;
        const uint8_t code = data[0], counter = data[1], param = data[2];
        if (code == 0xF8 && count == 4 && counter == 0x02 && param == 0x0A) {
            const Bytes table = {2, 0xF8, 1, 0x01, 0, kEmulation, 3, 0x01, 0, 0x02, 0, 0x0F, 0};
            answer(out, 0xF8, 0x02, 0, {0x0A, 0, 0xFC, 4, uint8_t(table.size()), 0, 0, 0, 0xFD, 0});
            out.insert(out.end(), table.begin(), table.end());
        } else if (code == 0xF8 && param == 0x01) {
            answer(out, 0xF8, counter, 0, {uint8_t(boot_ ? 0x03 : 0x01), 4, 0x12, 0x01, 0x03, 0});
        } else if (code == kEmulation && param == 0xFC && count >= 8) {
            bulkLeft_ = size_t(data[3]) | size_t(data[4]) << 8 | size_t(data[5]) << 16 |
                        size_t(data[6]) << 24;
            frames.emplace_back();
            frameCounter_ = counter;
            if (bulkLeft_ == 0) frameAnswer(out, counter);
        } else if (code == kEmulation) {
            parameters.push_back(param);
            Bytes entries;
            if (param == 0x01) {
                entries = {0x0F,
                           4,
                           uint8_t(hcTime),
                           uint8_t(hcTime >> 8),
                           uint8_t(hcTime >> 16),
                           uint8_t(hcTime >> 24)};
            } else if (param == 0x0F && !raw_.empty()) {
                entries = std::move(raw_.front());
                raw_.pop_front();
            } else if (param == 0x0F && collectType_ == 0) {
                while (!events_.empty() && entries.size() + events_.front().size() < 500) {
                    entries.insert(entries.end(), events_.front().begin(), events_.front().end());
                    events_.pop_front();
                }
            }
            answer(out, kEmulation, counter, param == 0x0F ? collectType_ : 0, entries);
            if (param == 0x0F) collectType_ = 0;
        }
    }

private:
    static constexpr uint8_t kEmulation = 0xF9;

    static Bytes Entry(uint8_t code, uint32_t time, const Bytes& payload) {
        Bytes e = {code,
                   uint8_t(4 + payload.size()),
                   uint8_t(time),
                   uint8_t(time >> 8),
                   uint8_t(time >> 16),
                   uint8_t(time >> 24)};
        e.insert(e.end(), payload.begin(), payload.end());
        return e;
    }

    void frameAnswer(Bytes& out, uint8_t counter) {
        answer(out, kEmulation, counter, frameType_, {});
        frameType_ = 0;
    }

    static void answer(Bytes& out, uint8_t code, uint8_t counter, uint8_t type,
                       const Bytes& entries) {
        const auto length = static_cast<uint16_t>(5 + entries.size());
        const Bytes header = {code, counter, type, uint8_t(length), uint8_t(length >> 8)};
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), entries.begin(), entries.end());
    }

    bool boot_;
    std::deque<Bytes> events_;
    std::deque<Bytes> raw_;
    size_t bulkLeft_ = 0;
    uint8_t frameCounter_ = 0;
    uint8_t collectType_ = 0;
    uint8_t frameType_ = 0;
};

}  // namespace vt5test
