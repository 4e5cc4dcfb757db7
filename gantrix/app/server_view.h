#pragma once

// What the API server dialog and the main dialog's server label show of the server's status
// record, as plain texts, so that they can be checked without a window.

#include <cstdint>
#include <string>

#include "gantrix/server/server_status.h"

// The part of the status record the server dialog shows; a change in any of it redraws the
// state controls.
struct ServerSnapshot {
    uint8_t state = ServerStatus::kOff;
    int32_t portInUse = 0;
    int32_t openResult = 0;
    bool deviceOpen = false;
    std::string openSerial;
    int32_t bootFlag = 0;
    int32_t protocolVersion = 0;
    int32_t secondProtocolWord = 0;
    std::string failureReason;

    bool operator==(const ServerSnapshot&) const = default;
};

ServerSnapshot TakeSnapshot(const ServerStatus& status);

// "OFF", "Starting...", "Active" or "Active (open to '%s')" with the HC's name in the named-HC
// list, or its serial.
std::string StateText(const ServerSnapshot& snapshot);
// Why the server is OFF, when it stopped or failed to start on its own; else empty.
std::string StateReasonText(const ServerSnapshot& snapshot);
// The served HC's mode and protocol words; empty while the server is off or no HC is open.
std::string DeviceText(const ServerSnapshot& snapshot);

// The client list's columns.
std::string ClientAddressText(const VT5ServerClient& client);
std::string SectionText(int32_t sectionFlags);

// The main dialog's server label for the running state and the open HC's serial (empty: none
// open).
std::string ServerLabelText(bool running, const std::string& openSerial);
