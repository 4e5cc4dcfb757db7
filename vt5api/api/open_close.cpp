// Opening, closing and the small queries of the API context.

#include <cstdio>
#include <cstring>
#include <new>

#include "vt5api/api/vt5api.h"

namespace {

void StoreText(char* dest, size_t size, const char* text) {
    // A reopen passes the stored texts themselves: copying one onto itself would lose it.
    if (text == dest) return;
    std::snprintf(dest, size, "%s", text ? text : "");
}

const char* OrNull(const char* text) {
    return text && *text ? text : nullptr;
}

bool Given(const char* text) {
    return text && *text;
}

int32_t CopyQuery(const char* value, char* text, size_t size) {
    if (text && size > 0) std::snprintf(text, size, "%s", value);
    return *value ? VT5_OK : VT5_E_COMMUNICATION;
}

}  // namespace

int32_t VT5_Open(CVT5Api* api, const char* serial, const char* serverAddress, int32_t port,
                 const char* clientName) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    CVT5Link& link = *api->link;
    if (!link.IsOpen()) {
        StoreText(api->serial, sizeof api->serial, serial);
        StoreText(api->serverAddress, sizeof api->serverAddress, serverAddress);
        api->serverPort = port;
        StoreText(api->clientName, sizeof api->clientName, clientName);
    }
    bool tcp = link.HasClientSocket();
    bool connectToServer = false;
    if (link.Mode() == VT5_MODE_CLIENT) {
        if (Given(serial)) return VT5_E_WRONG_STATE;
        if (Given(serverAddress) == tcp) return VT5_E_WRONG_STATE;
        connectToServer = Given(serverAddress);
    } else {
        if (tcp) return VT5_E_WRONG_STATE;
        if (link.Mode() == VT5_MODE_SERVER && !Given(serial) && Given(serverAddress))
            return VT5_E_WRONG_STATE;
        connectToServer = Given(serverAddress);
    }
    if (connectToServer) {
        int32_t result =
            link.ConnectToServer(serverAddress, port ? port : VT5_DEFAULT_PORT, OrNull(clientName));
        if (result != VT5_OK) return result;
        api->ResetProtocolState();
        api->receivedBlocks.clear();
        api->reconnectDelay = 0;
        api->protocolVersion = -1;
    }
    if (link.Mode() == VT5_MODE_CLIENT) return api->ClientConnect();
    return api->DirectConnect(OrNull(serial));
}

int32_t VT5_Close(CVT5Api* api) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    if (api->link->Mode() == VT5_MODE_CLIENT) {
        int32_t result = api->link->Disconnect();
        if (result != VT5_OK) return result;
    } else if (api->link->Close() != 0) {
        return VT5_E_COMMUNICATION;
    }
    api->commandTable.clear();
    api->command.currentCommand = nullptr;
    return VT5_OK;
}

bool VT5_IsOpen(CVT5Api* api) {
    return api && api->link && api->link->IsOpen();
}

int32_t VT5_GetSerial(CVT5Api* api, char* text, size_t size) {
    if (text && size > 0) text[0] = '\0';
    if (!api || !api->link) return VT5_E_NO_LINK;
    return CopyQuery(api->link->QuerySerial(), text, size);
}

int32_t VT5_GetDescription(CVT5Api* api, char* text, size_t size) {
    if (text && size > 0) text[0] = '\0';
    if (!api || !api->link) return VT5_E_NO_LINK;
    return CopyQuery(api->link->QueryDescr(), text, size);
}

int32_t VT5_SetTimeouts(CVT5Api* api, int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                        int32_t* prevWriteMs) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    return api->link->SetTimeouts(readMs, writeMs, prevReadMs, prevWriteMs) == 0
               ? VT5_OK
               : VT5_E_COMMUNICATION;
}

int32_t VT5_ListDevices(CVT5Api* api, int32_t* count, VT5DeviceListEntry** list) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    if (!count || !list) return VT5_E_BAD_ARGUMENT;
    CVT5Link& link = *api->link;
    if (link.Mode() == VT5_MODE_CLIENT) return VT5_E_WRONG_MODE;
    if (link.IsOpen()) return VT5_E_WRONG_STATE;
    int32_t n = 0;
    if (link.PollAll(&n) != 0) return VT5_E_CANNOT_OPEN;
    auto* entries = new (std::nothrow) VT5DeviceListEntry[static_cast<size_t>(n) + 1];
    if (!entries) {
        link.FreeList();
        return VT5_E_OUT_OF_MEMORY;
    }
    for (int32_t i = 0; i < n; ++i) {
        const FT_DEVICE_LIST_INFO_NODE* node = link.GetListItem(i);
        VT5DeviceListEntry& e = entries[i];
        std::memset(&e, 0, sizeof e);
        e.location = node->LocId;
        std::memcpy(e.serial, node->SerialNumber, 8);
        std::memcpy(e.description, node->Description, 64);
    }
    link.FreeList();
    *count = n;
    *list = entries;
    return VT5_OK;
}

int32_t VT5_FreeDeviceList(VT5DeviceListEntry* list) {
    delete[] list;
    return VT5_OK;
}

int32_t VT5_GetProtocolInfo(CVT5Api* api, int32_t* bootFlag, int32_t* protocolVersion,
                            int32_t* secondProtocolWord) {
    bool connected = api && api->IsConnected();
    if (bootFlag) *bootFlag = connected ? api->bootFlag : 0;
    if (protocolVersion) *protocolVersion = connected ? api->protocolVersion : 0;
    if (secondProtocolWord) *secondProtocolWord = connected ? api->secondProtocolWord : 0;
    return VT5_OK;
}

int32_t VT5_GetVersion() {
    return VT5_API_VERSION;
}

int32_t VT5_EnsureConnection(CVT5Api* api) {
    if (!api || !api->link) return VT5_E_NO_LINK;
    if (!api->link->IsOpen())
        return VT5_Open(api, OrNull(api->serial), OrNull(api->serverAddress), api->serverPort,
                        OrNull(api->clientName));
    bool client = api->link->Mode() == VT5_MODE_CLIENT;
    if (client != api->link->HasClientSocket()) return VT5_E_WRONG_STATE;
    return client ? api->ClientConnect() : api->DirectConnect(nullptr);
}
