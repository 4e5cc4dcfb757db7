#include "vt5api/commands/update_exchange.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace vt5upd {
namespace {

std::atomic<int32_t> lastStatus{0};

}  // namespace

bool InBootMode(const CVT5Api* api) {
    return api->link && api->link->IsOpen() && api->protocolVersion > 0 && api->bootFlag;
}

int32_t Send(CVT5Api* api, uint8_t code, uint8_t param, const void* value, int32_t size) {
    int32_t result = api->BeginCommand(code);
    if (result == VT5_OK) result = api->AddParam(param, value, size);
    return result == VT5_OK ? api->Exchange() : result;
}

const uint8_t* AnswerValue(const CVT5Api* api, uint8_t param, int length, bool* present) {
    const uint8_t* entry = api->FindAnswerParam(param);
    if (present) *present = entry != nullptr;
    return entry && entry[1] == length ? entry + 2 : nullptr;
}

void ReadRecord(const uint8_t* record, int length, VT5FwInfo& info) {
    uint8_t full[kRecordSize] = {};
    std::memcpy(full, record, static_cast<size_t>(std::min(length, kRecordSize)));
    info.status = full[0];
    if (info.status != 0 || length == 1) return;
    info.flags = static_cast<uint16_t>(full[1] | full[2] << 8);
    info.version = static_cast<uint16_t>(full[3] | full[4] << 8);
    info.size = uint32_t(full[5]) | uint32_t(full[6]) << 8 | uint32_t(full[7]) << 16 |
                uint32_t(full[8]) << 24;
    std::memcpy(info.description, full + 9, 40);
    info.description[40] = '\0';
    // A description that fills all 40 bytes loses its last character.
    if (std::memchr(full + 9, 0, 40) == nullptr) info.description[39] = '\0';
}

void SetLastStatus(int32_t status) {
    lastStatus = status;
}

}  // namespace vt5upd

int32_t VT5cmd_UPD_LastStatus() {
    return vt5upd::lastStatus;
}
