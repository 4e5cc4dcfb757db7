#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The HC's buttons held down from the keyboard. A held key repeats as presses and ends with
// one release, whatever the window system reports: some X servers deliver auto-repeat as
// release and press pairs without the auto-repeat flag (and the press may arrive a moment
// after its release), so a release waits until it is clear that no press of the same key
// follows it. The caller sends the events in the order given and calls Settle once the
// release has waited long enough (kReleaseWaitMs).
class HeldButtons {
public:
    struct Event {
        int32_t button = 0;
        bool released = false;
        bool operator==(const Event&) const = default;
    };
    using Events = std::vector<Event>;

    // How long a release waits for the press of an auto-repeat pair.
    static constexpr int kReleaseWaitMs = 50;
    // A release and a press of the same key this close in time (event time stamps) are one
    // auto-repeat: X stamps both with the same time.
    static constexpr int64_t kRepeatPairMs = 10;

    Events Press(int32_t button, int64_t timestampMs, bool autoRepeat);
    Events Release(int32_t button, int64_t timestampMs, bool autoRepeat);
    // The waiting release, now that no press came for it.
    Events Settle();
    // Releases for every button held (the window lost the keyboard, or the user disconnects).
    Events ReleaseAll();
    // Forgets every held button without releasing it (the connection is gone).
    void Clear();

    bool ReleasePending() const { return pending_.has_value(); }
    // Bit b set: button b is down (a waiting release still counts as down).
    unsigned HeldMask() const { return held_; }

private:
    struct Pending {
        int32_t button;
        int64_t timestampMs;
    };
    Events FlushPending();

    unsigned held_ = 0;
    std::optional<Pending> pending_;
};
