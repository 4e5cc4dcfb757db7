#include "vt5api/api/vt5api.h"

#include "platform/clock/clock.h"

CVT5Api::CVT5Api()
    : link(std::make_unique<CVT5Link>()), bulkBuffer(new uint8_t[VT5_BULK_BUFFER_SIZE]) {
    link->SetApiContext(this);
    command.table = &commandTable;
    answer.table = &commandTable;
    ResetProtocolState();
}

CVT5Api::~CVT5Api() {
    if (link) VT5_Close(this);
}

void CVT5Api::ResetProtocolState() {
    reconnectDelay = 0;
    firstConnection = 1;
    protocolVersion = -1;
    bulkReceived = 0;
    bulkData = nullptr;
    if (link) link->SetPollMode(3);
    command.counter = 1;
    commandTable.clear();
    command.currentCommand = nullptr;
}

int32_t CVT5Api::ReactToAsync(int32_t code) {
    reconnectDelay = code == VT5_E_MODE_CHANGED ? 3000 : 500;
    VT5_Close(this);
    if (link && link->Mode() == VT5_MODE_SERVER && code == VT5_E_MODE_CHANGED) {
        // The server stays with the HC across its mode change.
        int32_t result = VT5_EnsureConnection(this);
        if (result != VT5_OK) return result;
    }
    return code;
}

int32_t CVT5Api::RunCommand(uint16_t section, const std::function<int32_t()>& body) {
    auto clientUp = [this] { return link && link->Mode() == VT5_MODE_CLIENT && link->IsOpen(); };
    int32_t result = VT5_EnsureConnection(this);
    if (result != VT5_OK) {
        if (clientUp()) link->Unlock(section);
        return result;
    }
    if (!link) return VT5_E_NO_LINK;
    if (clientUp()) {
        result = link->Lock(section);
        if (result != VT5_OK) return result;
    }
    result = body();
    // On success the client keeps the section, e.g. across the commands of a transfer.
    if (clientUp()) link->Unlock(result == VT5_OK ? VT5_SECTION_NONE : section);
    return result;
}
