#pragma once

#include <cstdint>
#include <optional>

#include "hcsim/camera/emulation_events.h"
#include "hcsim/camera/guide_controller.h"
#include "hcsim/camera/guide_log.h"

namespace hcsim::camera {

// The HC's four guide outputs (RA plus and minus, DEC plus and minus). Every change is an
// event for the PC, stamped with the HC's clock, and an AG OUT line in the guiding log. A
// pulse switches its output on at once and off again when it has lasted; outputs of both axes
// that change at the same moment go out as one all-outputs event.
class GuideOutputs {
public:
    GuideOutputs(EventQueue& events, GuideLog& log) : events_(events), log_(log) {}

    // Pulses on both axes, starting at `now` (an axis with 0 ms is left as it is).
    void pulse(int64_t now, Pulses pulses);
    // Switches off what is due up to `now`, each at its own time.
    void advanceTo(int64_t now);
    // Every output off at once.
    void allOff(int64_t now);

    unsigned bits() const { return bits_; }
    // When the next output goes off.
    std::optional<int64_t> nextChange() const;
    // When every output will be off again; `now` when none is on.
    int64_t idleFrom(int64_t now) const;

private:
    void change(int64_t at, unsigned bits);

    EventQueue& events_;
    GuideLog& log_;
    unsigned bits_ = 0;
    std::optional<int64_t> raOffAt_, decOffAt_;
};

}  // namespace hcsim::camera
