#include "tools/vt5-doctor/handshake.h"

#include <cstdio>

#include "vt5api/api/vt5api.h"

namespace doctor {

void CheckHandshake(ChipCheck& chip) {
    if (chip.serial.empty()) {
        chip.problems.push_back("the chip has no serial number, so the suite cannot choose it");
        return;
    }
    CVT5Api api;
    int32_t result = VT5_Open(&api, chip.serial.c_str(), nullptr, 0, nullptr);
    if (result != VT5_OK) {
        chip.problems.push_back(
            "the HC does not answer the handshake (code " + std::to_string(result) +
            "): switch it on, or check the cable between the USB plug and the HC");
        return;
    }
    int32_t bootFlag = 0, protocol = 0, word2 = 0;
    VT5_GetProtocolInfo(&api, &bootFlag, &protocol, &word2);
    char version[16];
    std::snprintf(version, sizeof version, "0x%04X", static_cast<unsigned>(protocol));
    chip.facts.push_back(std::string("HC: answers the handshake in ") +
                         (bootFlag ? "BOOT mode" : "firmware mode") + ", protocol version " +
                         version);
    VT5_Close(&api);
}

}  // namespace doctor
