// Arbitrary bytes as a firmware file: load them into the two slots and write the content
// summary, as Flashwell and vt5-flash do with a file the user chose.
#include <cstddef>
#include <cstdint>
#include <string>

#include "flashwell/firmware/firmware_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadedFirmware firmware;
    const int result = LoadFirmwareData(data, size, firmware);
    if (result < kFirmwareLoaded || result > kFirmwareOutOfMemory) __builtin_trap();
    const std::string summary = ContentSummary(firmware);
    if (summary.rfind("Selected Firware file content:\r\n", 0) != 0) __builtin_trap();
    // A slot holds exactly the bytes its section announced.
    for (const FirmwareImage* image : {&firmware.hc, &firmware.camera})
        if (image->payload.size() != image->payloadSize) __builtin_trap();
    return 0;
}
