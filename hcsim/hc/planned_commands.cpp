#include "hcsim/hc/planned_commands.h"

namespace hcsim {

using namespace protocol;

void PlannedCommands::addCommands(HcMode mode, CommandTable& table) {
    if (mode == HcMode::Firmware) {
        // The firmware tells its own firmware information and takes the finish of an update.
        table.add({kFirmwareUpdate, {{0x10, 0}, {0x8F, 0}}, 0, {}});
    } else if (mode == HcMode::Boot) {
        // information, upload start, programming start, image data, finish
        table.add({kFirmwareUpdate,
                   {{0x10, 0}, {0x30, 2}, {0x8A, 3}, {0xDA, 0}, {0x8F, 0}},
                   kPieceLimit,
                   {}});
        // camera release, camera boot start, pass-through
        table.add({kCameraAccess, {{0xC0, 0}, {0xC1, 0}, {0x3C, 2}}, kPieceLimit, {}});
    }
}

}  // namespace hcsim
