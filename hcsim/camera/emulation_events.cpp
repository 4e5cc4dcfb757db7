#include "hcsim/camera/emulation_events.h"

namespace hcsim::camera {

EmulationEvent exposureStartEvent(uint32_t time, uint16_t exposureMs, uint8_t gainIndex) {
    EmulationEvent e{kEventExposureStart, time, {}};
    appendLe16(e.payload, static_cast<uint16_t>((exposureMs & kMaxExposureMs) |
                                                (gainIndex & kMaxGainIndex) << 12));
    return e;
}

EmulationEvent calibrationStepEvent(uint32_t time, uint16_t value) {
    EmulationEvent e{kEventCalibrationStep, time, {}};
    appendLe16(e.payload, value);
    return e;
}

void EventQueue::collect(Answer& answer, size_t room) {
    size_t used = 0;
    while (!events_.empty()) {
        const EmulationEvent& e = events_.front();
        size_t entry = 2 + 4 + e.payload.size();
        if (used + entry > room) break;
        Bytes value;
        appendLe32(value, e.time);
        value.insert(value.end(), e.payload.begin(), e.payload.end());
        answer.add(e.code, value);
        used += entry;
        events_.pop_front();
    }
}

}  // namespace hcsim::camera
