#pragma once

// The API server: a context in Server mode holds the HC's USB connection and shares it with
// client programs over TCP.

#include <cstdint>

#include "vt5api/api/vt5api.h"

constexpr uint16_t VT5_DEFAULT_SERVER_PORT = 5937;

// Argument of VT5_StartServer.
struct VT5ServerStart {
    uint32_t size = sizeof(VT5ServerStart);  // must be 20
    uint16_t reserved = 0;
    uint16_t port = 0;          // 0 = 5937, written back
    char servedSerial[9] = {};  // empty = any HC
};
static_assert(sizeof(VT5ServerStart) == 20);

// One client, as VT5_GetServerClients hands it out.
struct VT5ServerClient {
    char address[46];  // IPv4 dotted, or IPv6
    int32_t port;
    char applicationId[32];
    int32_t sectionFlags;  // bit 0 CTRL, bit 1 FS, bit 2 ESKY
};

// 200 bad record, 2 no link, 301 the HC is already open through USB, 300 Client mode,
// 4 the port cannot be listened on.
int32_t VT5_StartServer(CVT5Api* api, VT5ServerStart* start);
// One scheduling pass with a wait of up to 20 ms. 300 outside Server mode, 302 never
// started, 4 waiting failed, 9 the USB line could not be resynchronised (server stopped).
int32_t VT5_PollServer(CVT5Api* api);
// The number of clients (0 outside Server mode); fills entries when given.
int32_t VT5_GetServerClients(CVT5Api* api, VT5ServerClient* entries);
int32_t VT5_StopServer(CVT5Api* api);
