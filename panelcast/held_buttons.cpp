#include "panelcast/held_buttons.h"

namespace {

unsigned Bit(int32_t button) {
    return 1u << (static_cast<unsigned>(button) & 31u);
}

int64_t Distance(int64_t a, int64_t b) {
    return a > b ? a - b : b - a;
}

}  // namespace

HeldButtons::Events HeldButtons::Press(int32_t button, int64_t timestampMs, bool autoRepeat) {
    Events events;
    if (pending_ && pending_->button == button) {
        const bool repeat =
            autoRepeat || Distance(timestampMs, pending_->timestampMs) <= kRepeatPairMs;
        // A new press after a real release: the release goes first.
        if (!repeat) events.push_back({button, true});
        pending_.reset();
    } else {
        events = FlushPending();
    }
    events.push_back({button, false});
    held_ |= Bit(button);
    return events;
}

HeldButtons::Events HeldButtons::Release(int32_t button, int64_t timestampMs, bool autoRepeat) {
    // A flagged auto-repeat release is always followed by its press.
    if (autoRepeat) return {};
    Events events;
    if (pending_ && pending_->button != button) events = FlushPending();
    pending_ = Pending{button, timestampMs};
    return events;
}

HeldButtons::Events HeldButtons::Settle() {
    return FlushPending();
}

HeldButtons::Events HeldButtons::ReleaseAll() {
    Events events = FlushPending();
    for (int32_t b = 0; b < 32; ++b)
        if (held_ & Bit(b)) events.push_back({b, true});
    held_ = 0;
    return events;
}

void HeldButtons::Clear() {
    held_ = 0;
    pending_.reset();
}

HeldButtons::Events HeldButtons::FlushPending() {
    if (!pending_) return {};
    const int32_t button = pending_->button;
    pending_.reset();
    held_ &= ~Bit(button);
    return {{button, true}};
}
