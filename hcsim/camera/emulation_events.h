#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "hcsim/hc/answer.h"

namespace hcsim::camera {

// Event codes of the camera emulation, as the PC collects them.
constexpr uint8_t kEventExposureStart = 0x0A;  // payload: exposure ms (bits 0-11), gain (12-15)
constexpr uint8_t kEventFrameRequest = 0x0B;
constexpr uint8_t kEventRaOff = 0x10;
constexpr uint8_t kEventRaPlus = 0x11;
constexpr uint8_t kEventRaMinus = 0x12;
constexpr uint8_t kEventDecOff = 0x20;
constexpr uint8_t kEventDecPlus = 0x21;
constexpr uint8_t kEventDecMinus = 0x22;
constexpr uint8_t kEventAllOutputs = 0x30;       // | the four output bits
constexpr uint8_t kEventCalibrationStep = 0xEF;  // payload: the step value

// Guide output bits, as in the all-outputs event.
constexpr unsigned kRaPlus = 1u << 0;
constexpr unsigned kRaMinus = 1u << 1;
constexpr unsigned kDecPlus = 1u << 2;
constexpr unsigned kDecMinus = 1u << 3;

constexpr uint16_t kMaxExposureMs = 0x0FFF;
constexpr uint8_t kMaxGainIndex = 0x0F;

struct EmulationEvent {
    uint8_t code = 0;
    uint32_t time = 0;  // the HC's clock, ms
    Bytes payload;
};

EmulationEvent exposureStartEvent(uint32_t time, uint16_t exposureMs, uint8_t gainIndex);
EmulationEvent calibrationStepEvent(uint32_t time, uint16_t value);

// Events waiting for the PC to collect them, oldest first. Each goes out as one answer entry:
// id = event code, value = 4 time bytes and the payload.
class EventQueue {
public:
    // Past this many waiting events the PC is not collecting; the HC starts no new exposures.
    static constexpr size_t kBacklog = 4096;

    void push(EmulationEvent event) { events_.push_back(std::move(event)); }
    // Moves the oldest events whose entries fit into `room` bytes into the answer.
    void collect(Answer& answer, size_t room);
    void clear() { events_.clear(); }
    size_t size() const { return events_.size(); }
    bool backlogged() const { return events_.size() >= kBacklog; }
    const std::deque<EmulationEvent>& waiting() const { return events_; }

private:
    std::deque<EmulationEvent> events_;
};

}  // namespace hcsim::camera
