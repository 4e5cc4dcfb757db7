#pragma once

#include "hcsim/hc/family.h"

namespace hcsim {

// The commands of the families still to be built (file system, display and buttons, camera
// emulation), listed with their parameters and sizes so that the PC's table checks pass from
// the start. They have no handler yet, so the HC answers them with type 32; each moves into a
// family file of its own when it is built.
class PlannedCommands final : public Family {
public:
    void addCommands(HcMode mode, CommandTable& table) override;

    // Bulk data a command takes: a path or a file piece; a frame of the camera emulation (room
    // for 1288 x 968 pixels of two bytes, and more).
    static constexpr uint32_t kPieceLimit = 4096;
    static constexpr uint32_t kFrameLimit = 4 << 20;
};

}  // namespace hcsim
