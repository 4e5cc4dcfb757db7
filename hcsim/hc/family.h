#pragma once

#include "hcsim/hc/command_table.h"
#include "hcsim/hc/hc_mode.h"

namespace hcsim {

// A command family of the HC: the commands it offers in each mode with their parameters, and
// their handlers. The HC asks every family for its part of a mode's supported-command table
// once, when it is made.
class Family {
public:
    virtual ~Family() = default;
    virtual void addCommands(HcMode mode, CommandTable& table) = 0;
    // The HC restarts or powers off: state of the running session ends here.
    virtual void restart() {}
};

}  // namespace hcsim
