#include "hcsim/hc/planned_commands.h"

namespace hcsim {

using namespace protocol;

namespace {

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
        table.add(displayRead());
        table.add(buttonEvent());
        table.add(cameraEmulation());
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
        // The boot loader shows its state on the display too.
        table.add(displayRead());
        table.add(buttonEvent());
    }
}

}  // namespace hcsim
