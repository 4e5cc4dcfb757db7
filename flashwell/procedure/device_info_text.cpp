// The device information text.

#include "common/text_printf.h"
#include "flashwell/firmware/display_text.h"
#include "flashwell/procedure/device_info.h"

namespace {

// The firmware lines; the HC's show the build number and the type of firmware.
std::string FirmwareLines(const VT5FwInfo& fw, bool hc) {
    switch (fw.status) {
        case 0:
            break;
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
            return "Firmware version:   invalid firmware content\n";
        case 8:
            return "Firmware version:   internal error\n";
        case 9:
            return "Firmware version:   checksum error\n";
        case 15:
            return "Firmware version:   NO FIRMWARE is present\n";
        default:
            return common::Printf("Firmware version:   unknown error code %d\n", fw.status);
    }
    std::string text =
        hc ? common::Printf("Firmware version:   %02x.%02x.%1x\n", fw.version >> 8,
                            fw.version & 0xFF, fw.flags >> 12)
           : common::Printf("Firmware version:   %02x.%02x\n", fw.version >> 8, fw.version & 0xFF);
    text += common::Printf("     description:   \"%s\"\n", DisplayText(fw.description).c_str());
    text +=
        common::Printf("            size:   %lld bytes\n", static_cast<long long>(fw.size) * 512);
    if (hc)
        text += std::string("            type:   ") +
                (fw.flags & 0x10 ? "reloc. fw." : "main fw.") + "\n";
    return text;
}

}  // namespace

std::string DeviceInfoText(const DeviceInfoFacts& facts) {
    const VT5DeviceInfo& d = facts.device;
    std::string text = "=== HandController's state:  ";
    text += d.bootFlag ? "BOOT MODE\n\n" : "APP MODE\n\n";
    text += common::Printf("USB-serial chip ID: %s\n", d.serial);
    text += common::Printf("       description: \"%s\"\n\n", d.description);
    text += common::Printf("Unique ID:          \"%s\"\n", d.uniqueId);
    text += common::Printf("Protocol version:   $%04x, $%04x\n", d.protocolVersion,
                           d.secondProtocolWord);
    text += common::Printf("Hardware ID:        %1X\n\n", d.hardwareId & 0xF);
    text += facts.firmwareReadable ? FirmwareLines(facts.firmware, true)
                                   : "Firmware version:   couldn't be read!";
    if (!d.bootFlag) return text;
    text += "\n=== Camera's state:  ";
    if (!facts.cameraAccessible) return text + "ERROR, can't access Camera...!\n\n";
    const VT5CamIdentity& c = facts.camera;
    text += "BOOT MODE\n\n";
    text += common::Printf("Unique ID:          \"%s\"\n", c.uniqueId);
    text += common::Printf("Protocol version:   $%04x, $%04x\n", c.protocolVersion,
                           c.secondProtocolWord);
    text += common::Printf("Hardware ID:        %1X\n\n", c.hardwareId);
    return text + FirmwareLines(facts.cameraFirmware, false);
}
