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

CommandSpec displayRead() {
    // fresh start, image, button lights, complete image
    return {kDisplayRead, {{0x01, 0}, {0x02, 0}, {0x03, 0}, {0x10, 0}}, 0, {}};
}

CommandSpec buttonEvent() {
    // 0x20 + 0x10 for a release + the button code 0 to 15
    CommandSpec spec{kButtonEvent, {}, 0, {}};
    for (int id = 0x20; id < 0x40; ++id)
        spec.params.push_back({static_cast<uint8_t>(id), 0});
    return spec;
}

CommandSpec cameraEmulation() {
    // start, stop, collect events; a frame comes as bulk data alone
    return {kCameraEmulation, {{0x01, 0}, {0x02, 0}, {0x0F, 0}}, PlannedCommands::kFrameLimit, {}};
}

}  // namespace

void PlannedCommands::addCommands(HcMode mode, CommandTable& table) {
    if (mode == HcMode::Firmware) {
        table.add(fileSystem());
        table.add(displayRead());
        table.add(buttonEvent());
        table.add(cameraEmulation());
    } else if (mode == HcMode::Boot) {
        // The boot loader shows its state on the display too.
        table.add(displayRead());
        table.add(buttonEvent());
    }
}

}  // namespace hcsim
