#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hcsim/hc/command_table.h"
#include "hcsim/hc/hc_mode.h"

namespace hcsim {

// A command family of the HC: the commands it offers in each mode with their parameters, and
// their handlers. The HC asks every family for its part of a mode's supported-command table
// once, when it is made. Families that need the HC itself (its mode, power, the other
// families) take the HcDevice in their constructor.
class Family {
public:
    virtual ~Family() = default;
    virtual void addCommands(HcMode mode, CommandTable& table) = 0;
    // The HC restarts or powers off: state of the running session ends here.
    virtual void restart() {}
    // The mode the HC runs when it starts into `wanted` (a boot loader keeps it in BOOT mode
    // while it has no valid firmware to start).
    virtual HcMode startingMode(HcMode wanted) const { return wanted; }
    // The HC has finished starting and runs `mode` from `at` on.
    virtual void started(HcMode mode, platform::TimePoint at) { (void)mode, (void)at; }

    // Time-driven behaviour up to `now`, called while the HC runs; bytes put into `out`
    // reach the PC like the HC's own (asynchronous messages).
    virtual void onTick(platform::TimePoint now, Bytes& out) { (void)now, (void)out; }
    // When the family next wants onTick while the HC runs.
    virtual platform::TimePoint nextEvent() const { return platform::TimePoint::max(); }

    // A text command of this family (`vt5-hcsim control`), split into words; nothing when the
    // words are not the family's. Replies begin with "ok" or "error:" as in hc_control.h.
    virtual std::optional<std::string> control(const std::vector<std::string>& words,
                                               platform::TimePoint now, Bytes& out) {
        (void)words, (void)now, (void)out;
        return std::nullopt;
    }
    // The family's commands for `control help`, " | "-separated; empty when it has none.
    virtual std::string controlHelp() const { return {}; }
};

}  // namespace hcsim
