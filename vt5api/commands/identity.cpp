// Identity queries and the system change.

#include "vt5api/commands/identity.h"

#include <algorithm>
#include <cstring>

#include "platform/clock/clock.h"

namespace {

// One 0xF8 query for `param`; on success the answer entry with `answerParam` must carry
// `length` value bytes (missing: 57, other length: 58).
int32_t QueryIdentity(CVT5Api* api, uint8_t param, uint8_t answerParam, int length,
                      const uint8_t** value) {
    int32_t result = api->BeginCommand(VT5_CMD_IDENTITY);
    if (result == VT5_OK) result = api->AddParam(param, nullptr, 0);
    if (result == VT5_OK) result = api->Exchange();
    if (result != VT5_OK) return result;
    const uint8_t* entry = api->FindAnswerParam(answerParam);
    if (!entry) return VT5_E_NO_ANSWER_PARAMETER;
    if (entry[1] != length) return VT5_E_BAD_PARAMETER_LENGTH;
    *value = entry + 2;
    return VT5_OK;
}

}  // namespace

int32_t VT5cmd_GetProtocolVersion(CVT5Api* api, int32_t* bootFlag, uint16_t* protocolVersion,
                                  uint16_t* secondProtocolWord) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        int32_t result = api->BeginCommand(VT5_CMD_IDENTITY);
        if (result == VT5_OK) result = api->AddParam(VT5_ID_PROTOCOL, nullptr, 0);
        if (result == VT5_OK) result = api->Exchange();
        if (result != VT5_OK) return result;
        const uint8_t* entry = api->FindAnswerParam(VT5_ID_PROTOCOL_BOOT);
        bool boot = entry != nullptr;
        if (!entry) entry = api->FindAnswerParam(VT5_ID_PROTOCOL);
        if (!entry) return VT5_E_NO_ANSWER_PARAMETER;
        if (entry[1] != 4) return VT5_E_BAD_PARAMETER_LENGTH;
        const uint8_t* v = entry + 2;
        if (bootFlag) *bootFlag = boot ? 1 : 0;
        if (protocolVersion) *protocolVersion = static_cast<uint16_t>(v[0] | v[1] << 8);
        if (secondProtocolWord) *secondProtocolWord = static_cast<uint16_t>(v[2] | v[3] << 8);
        return VT5_OK;
    });
}

int32_t VT5cmd_GetUniqueID(CVT5Api* api, uint32_t* chipId, uint8_t* uniqueId) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        const uint8_t* v = nullptr;
        int32_t result = QueryIdentity(api, VT5_ID_UNIQUE, VT5_ID_UNIQUE, 24, &v);
        if (result != VT5_OK) return result;
        if (chipId) {
            for (int w = 0; w < 2; ++w)
                chipId[w] = uint32_t(v[4 * w]) | uint32_t(v[4 * w + 1]) << 8 |
                            uint32_t(v[4 * w + 2]) << 16 | uint32_t(v[4 * w + 3]) << 24;
        }
        if (uniqueId) std::memcpy(uniqueId, v + 8, 16);
        return VT5_OK;
    });
}

int32_t VT5cmd_GetHardwareID(CVT5Api* api, uint8_t* hardwareId) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        const uint8_t* v = nullptr;
        int32_t result = QueryIdentity(api, VT5_ID_HARDWARE, VT5_ID_HARDWARE, 1, &v);
        if (result == VT5_OK && hardwareId) *hardwareId = v[0];
        return result;
    });
}

int32_t VT5cmd_GetDeviceText(CVT5Api* api, char* text) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        if (!text) return VT5_E_BAD_ARGUMENT;
        const uint8_t* v = nullptr;
        int32_t result = QueryIdentity(api, VT5_ID_DEVICE_TEXT, VT5_ID_DEVICE_TEXT, 32, &v);
        if (result != VT5_OK) return result;
        std::memcpy(text, v, 32);
        text[31] = '\0';
        if (static_cast<uint8_t>(text[0]) == 0xFF) text[0] = '\0';
        return VT5_OK;
    });
}

int32_t VT5cmd_GetDeviceInfo(CVT5Api* api, VT5DeviceInfo* info) {
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_NONE, [&]() -> int32_t {
        if (!info) return VT5_E_BAD_ARGUMENT;
        uint8_t unique[16] = {};
        int32_t result = VT5cmd_GetProtocolVersion(api, &info->bootFlag, &info->protocolVersion,
                                                   &info->secondProtocolWord);
        if (result != VT5_OK) return result;
        result = VT5cmd_GetUniqueID(api, info->chipId, unique);
        if (result != VT5_OK) return result;
        result = VT5cmd_GetHardwareID(api, &info->hardwareId);
        if (result != VT5_OK) return result;
        for (int i = 0; i < 16; ++i)
            info->uniqueId[i] = unique[i] ? char(unique[i]) : ' ';
        info->uniqueId[16] = '\0';
        char text[65] = {};
        result = VT5_GetSerial(api, text, sizeof text);
        if (result != VT5_OK) return result;
        std::memcpy(info->serial, text, 8);
        info->serial[8] = '\0';
        result = VT5_GetDescription(api, text, sizeof text);
        if (result != VT5_OK) return result;
        std::memcpy(info->description, text, 64);
        info->description[64] = '\0';
        info->deviceText[32] = '\0';
        return VT5cmd_GetDeviceText(api, info->deviceText);
    });
}

namespace {

struct SystemChangeCodes {
    uint8_t modeByte;   // firmware mode
    uint8_t bootParam;  // BOOT mode, command 0xFA
    uint8_t bootCode[4];
};

constexpr SystemChangeCodes kSystemChange[3] = {
    {0x0F, 0x78, {0x3C, 0x1E, 0x6B, 0xD2}},
    {0x01, 0xB0, {0x5A, 0x93, 0xC0, 0x4F}},
    {0x02, 0xA9, {0xB2, 0x68, 0x4E, 0x19}},
};

// The asynchronous codes that announce each type of change.
constexpr uint8_t kAsyncCodes[3] = {0x36, 0xB7, 0xAA};

constexpr uint8_t kChallengeParam = 0xC5;
constexpr uint8_t kResponseParam = 0xA3;

// Answer types that mean the HC answered (and so refused) rather than went silent.
bool IsRefusal(int32_t result) {
    switch (result) {
        case VT5_OK:
        case VT5_E_INVALID_COMMAND:
        case VT5_E_COUNTER_MISMATCH:
        case VT5_E_UNKNOWN_PARAMETER:
        case VT5_E_TOO_MANY_PARAMETERS:
        case VT5_E_TOO_MANY_BYTES_SENT:
        case VT5_E_CANT_EXECUTE:
        case VT5_E_UNKNOWN_ANSWER_TYPE:
            return true;
        default:
            return false;
    }
}

int32_t BootSystemChange(CVT5Api* api, int32_t type, uint16_t protocolVersion) {
    const SystemChangeCodes& codes = kSystemChange[type];
    api->BeginCommand(VT5_CMD_BOOT_SYSTEM_CHANGE);
    if (type == VT5_SYSCHANGE_POWER_OFF && protocolVersion < 0x12)
        return VT5_E_PARAMETER_NOT_SUPPORTED;
    api->AddParam(codes.bootParam, codes.bootCode, 4);
    ScopedLinkTimeouts timeouts(*api->link, 500, -1);
    int32_t result = api->Exchange();
    if (result == VT5_E_COMMUNICATION) return VT5_OK;  // carried out without an answer
    if (IsRefusal(result))
        return api->FindAnswerParam(0xFF) ? VT5_E_UNKNOWN_PARAMETER : VT5_E_CANT_EXECUTE;
    return VT5_E_INVALID_ANSWER;
}

// The challenge and the response. An exchange's failure is returned as it is; once the
// response was answered, `answered` is set and the result is 0, 66 (refused) or 30.
int32_t FirmwareSystemChange(CVT5Api* api, int32_t type, bool& answered) {
    api->BeginCommand(VT5_CMD_SYSTEM_CHANGE);
    api->AddParam(kChallengeParam, nullptr, 0);
    int32_t result = api->Exchange();
    if (result != VT5_OK) return result;
    const uint8_t* challenge = api->FindAnswerParam(kChallengeParam);
    if (!challenge || challenge[1] != 4) return VT5_E_INVALID_ANSWER;
    const uint8_t* c = challenge + 2;
    const uint8_t response[6] = {uint8_t(~c[3]),
                                 uint8_t(~c[2]),
                                 uint8_t(~c[1]),
                                 uint8_t(~c[0]),
                                 kSystemChange[type].modeByte,
                                 0x00};
    result = api->BeginCommand(VT5_CMD_SYSTEM_CHANGE);
    if (result == VT5_OK) result = api->AddParam(kResponseParam, response, 6);
    if (result == VT5_OK) result = api->Exchange();
    if (result != VT5_OK) return result;
    answered = true;
    const uint8_t* verdict = api->FindAnswerParam(kResponseParam);
    if (!verdict || verdict[1] != 1) return VT5_E_INVALID_ANSWER;
    return verdict[2] ? VT5_E_CANT_EXECUTE : VT5_OK;
}

}  // namespace

int32_t VT5cmd_SystemChange(CVT5Api* api, int32_t type) {
    if (type < 0 || type > 2) return VT5_E_BAD_ARGUMENT;
    if (!api || !api->link) return VT5_E_NO_LINK;
    int32_t boot = 0;
    uint16_t protocolVersion = 0;
    int32_t result = VT5cmd_GetProtocolVersion(api, &boot, &protocolVersion, nullptr);
    if (result != VT5_OK) return result;

    if (api->link->Mode() == VT5_MODE_CLIENT) {
        result = api->link->SystemChange(static_cast<uint8_t>(type));
        if (result == VT5_OK) VT5_Close(api);
        return result;
    }

    api->command.tableCheck = 0;
    bool carriedOut = false;
    if (boot) {
        result = BootSystemChange(api, type, protocolVersion);
        carriedOut = result == VT5_OK;
    } else {
        result = FirmwareSystemChange(api, type, carriedOut);
    }
    api->command.tableCheck = 1;
    if (!carriedOut) return result;
    if (api->link->Mode() == VT5_MODE_SERVER) {
        // The clients learn of the change as they would from the HC itself.
        const uint8_t notice[5] = {VT5_ASYNC_ID, kAsyncCodes[type], 0x00, 0x05, 0x00};
        api->link->Broadcast(notice, 5, -1);
        if (type != VT5_SYSCHANGE_POWER_OFF) {
            VT5_Close(api);
            platform::sleepMs(3000);
            return VT5_EnsureConnection(api);
        }
    }
    VT5_Close(api);
    return result;
}
