#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "vt5api/api/vt5server.h"

// What the API server thread reports, read by the dialogs under the thread's lock.
struct ServerStatus {
    enum State : uint8_t { kOff = 0, kStarting = 1, kActive = 2 };

    uint8_t state = kOff;
    int32_t portInUse = 0;
    char servedSerial[9] = {};
    int32_t openResult = VT5_E_INVALID_RETURN;  // none tried yet
    bool deviceOpen = false;
    char openSerial[9] = {};
    int32_t bootFlag = 0;
    int32_t protocolVersion = 0;
    int32_t secondProtocolWord = 0;
    bool threadFinished = false;
    bool openPending = false;
    bool listRefreshRequest = false;
    // Why the last start failed, for the user: "TCP port 5937 is in use by vt5-server
    // (process 812)"; empty while none failed.
    std::string startFailure;

    // Beside the record, under the same lock.
    int32_t configuredPort = 0;  // 0 = 5937
    // Where the next start listens (addresses or host names; none: every IPv4 address) and
    // whose connections it serves (networks such as "192.168.1.0/24"; none: anyone).
    std::vector<std::string> listenAddresses;
    std::vector<std::string> allowedNetworks;
    int32_t threadResult = 0;
    bool clientListChanged = false;
    std::vector<VT5ServerClient> clients;
};
