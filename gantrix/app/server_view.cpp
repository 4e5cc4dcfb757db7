#include "gantrix/app/server_view.h"

#include "common/text_printf.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/trimmed.h"
#include "vt5api/options/named_devices.h"

ServerSnapshot TakeSnapshot(const ServerStatus& status) {
    ServerSnapshot s;
    s.state = status.state;
    s.portInUse = status.portInUse;
    s.openResult = status.openResult;
    s.deviceOpen = status.deviceOpen;
    s.openSerial = status.openSerial;
    s.bootFlag = status.bootFlag;
    s.protocolVersion = status.protocolVersion;
    s.secondProtocolWord = status.secondProtocolWord;
    s.failureReason = status.startFailure;
    return s;
}

std::string StateText(const ServerSnapshot& snapshot) {
    switch (snapshot.state) {
        case ServerStatus::kOff:
            return "OFF";
        case ServerStatus::kStarting:
            return "Starting...";
        default:
            break;
    }
    if (!snapshot.deviceOpen || snapshot.openSerial.empty()) return "Active";
    std::string name = snapshot.openSerial;
    FindNamedDevice(name);
    return "Active (open to '" + name + "')";
}

std::string StateReasonText(const ServerSnapshot& snapshot) {
    if (snapshot.state != ServerStatus::kOff) return {};
    return snapshot.failureReason;
}

std::string DeviceText(const ServerSnapshot& s) {
    if (s.state == ServerStatus::kOff || !s.deviceOpen) return {};
    if (s.bootFlag)
        return common::Printf(" BOOT mode\n Ver.: %x.%1x / %04x", s.protocolVersion >> 4,
                              s.protocolVersion & 0xF, s.secondProtocolWord);
    return common::Printf(" Fw. mode\n Ver.: %x.%02x / %04x", s.protocolVersion >> 8,
                          s.protocolVersion & 0xFF, s.secondProtocolWord);
}

std::string ClientAddressText(const VT5ServerClient& client) {
    return common::Printf("%s : %d", client.address, client.port);
}

std::string SectionText(int32_t sectionFlags) {
    std::string text;
    if (sectionFlags & 1) text += "CTRL ";
    if (sectionFlags & 2) text += "FS ";
    if (sectionFlags & 4) text += "ESKY ";
    return text;
}

std::string ServerLabelText(bool running, const std::string& openSerial) {
    if (!running) return kServerLabel;
    if (openSerial.empty()) return kServerLabelActive;
    std::string name = openSerial;
    FindNamedDevice(name);
    return common::Printf(kServerLabelActiveWith, Trimmed(name).c_str());
}
