// The content summary of a loaded firmware file.

#include "common/text_printf.h"
#include "flashwell/firmware/display_text.h"
#include "flashwell/firmware/firmware_file.h"

std::string ContentSummary(const LoadedFirmware& firmware) {
    const FirmwareImage& hc = firmware.hc;
    const FirmwareImage& camera = firmware.camera;
    std::string text = "Selected Firware file content:\r\n";
    text += common::Printf(" HC firmware:\r\n   \"%s\"", DisplayText(hc.description).c_str());
    text += common::Printf("\r\n     ver. %02x.%02x.%1x", hc.version >> 8, hc.version & 0xFF,
                           hc.BuildNumber());
    text += common::Printf("\r\n Camera firmware\r\n   \"%s\"",
                           DisplayText(camera.description).c_str());
    text += common::Printf("\r\n     ver. %02x.%02x.%1x\r\n\r\n", camera.version >> 8,
                           camera.version & 0xFF, camera.BuildNumber());
    return text;
}
