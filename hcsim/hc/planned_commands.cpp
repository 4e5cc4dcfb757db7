#include "hcsim/hc/planned_commands.h"

namespace hcsim {

using namespace protocol;

namespace {

CommandSpec fileSystem() {
    // current dir, change dir, open dir, read dir, delete, open, read, write, close
    return {kFileSystem,
            {{0xBD, 0},
             {0xCD, 0},
             {0xD2, 0},
             {0xDC, 1},
             {0xC1, 4},
             {0x30, 1},
             {0x33, 2},
             {0x36, 0},
             {0x3C, 0}},
            PlannedCommands::kPieceLimit,
            {}};
}

}  // namespace

void PlannedCommands::addCommands(HcMode mode, CommandTable& table) {
    if (mode == HcMode::Firmware) {
        table.add(fileSystem());
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
