#include "hcsim/camera/guide_outputs.h"

#include <algorithm>
#include <cstdlib>

namespace hcsim::camera {
namespace {

constexpr unsigned kRa = kRaPlus | kRaMinus;
constexpr unsigned kDec = kDecPlus | kDecMinus;

// The event that tells the PC the outputs of one axis now read `bits`.
uint8_t axisEvent(unsigned bits, bool ra) {
    if (ra) return bits & kRaPlus ? kEventRaPlus : bits & kRaMinus ? kEventRaMinus : kEventRaOff;
    return bits & kDecPlus ? kEventDecPlus : bits & kDecMinus ? kEventDecMinus : kEventDecOff;
}

}  // namespace

void GuideOutputs::change(int64_t at, unsigned bits) {
    const unsigned changed = bits ^ bits_;
    if (!changed) return;
    bits_ = bits;
    uint8_t code = 0;
    if ((changed & kRa) && (changed & kDec))
        code = static_cast<uint8_t>(kEventAllOutputs | bits);
    else
        code = axisEvent(bits, changed & kRa);
    events_.push({code, static_cast<uint32_t>(at), {}});
    log_.write(at, "AG OUT",
               {bits & kRaMinus ? "RA-" : "", bits & kRaPlus ? "RA+" : "",
                bits & kDecMinus ? "DEC-" : "", bits & kDecPlus ? "DEC+" : ""});
}

void GuideOutputs::pulse(int64_t now, Pulses pulses) {
    advanceTo(now);
    unsigned bits = bits_;
    if (pulses.raMs) {
        bits = (bits & ~kRa) | (pulses.raMs > 0 ? kRaPlus : kRaMinus);
        raOffAt_ = now + std::abs(pulses.raMs);
    }
    if (pulses.decMs) {
        bits = (bits & ~kDec) | (pulses.decMs > 0 ? kDecPlus : kDecMinus);
        decOffAt_ = now + std::abs(pulses.decMs);
    }
    change(now, bits);
}

void GuideOutputs::advanceTo(int64_t now) {
    while (auto next = nextChange()) {
        if (*next > now) break;
        unsigned bits = bits_;
        if (raOffAt_ == next) {
            bits &= ~kRa;
            raOffAt_.reset();
        }
        if (decOffAt_ == next) {
            bits &= ~kDec;
            decOffAt_.reset();
        }
        change(*next, bits);
    }
}

void GuideOutputs::allOff(int64_t now) {
    raOffAt_.reset();
    decOffAt_.reset();
    change(now, 0);
}

std::optional<int64_t> GuideOutputs::nextChange() const {
    if (raOffAt_ && decOffAt_) return std::min(*raOffAt_, *decOffAt_);
    return raOffAt_ ? raOffAt_ : decOffAt_;
}

int64_t GuideOutputs::idleFrom(int64_t now) const {
    int64_t t = now;
    if (raOffAt_) t = std::max(t, *raOffAt_);
    if (decOffAt_) t = std::max(t, *decOffAt_);
    return t;
}

}  // namespace hcsim::camera
