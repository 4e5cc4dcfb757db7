#pragma once

// The connection options of a program: how it reaches the HC (directly over USB, optionally a
// particular HC, or through an API server), kept per program under the current user's
// "SOFTWARE\NORVANE\Veltra-5\ConnectionInfo" key.

#include <cstdint>
#include <string>

// Registry key of all connection options and of the named-HC list.
inline constexpr const char* VT5_CONNECTION_INFO_KEY =
    "SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo";

// Program keys.
inline constexpr const char* VT5_KEY_GANTRIX = "Gantrix";
inline constexpr const char* VT5_KEY_GANTRIX_SERVER = "Gantrix - API server";
inline constexpr const char* VT5_KEY_STARLOOM = "Starloom";
inline constexpr const char* VT5_KEY_UPDATER = "Updater";
inline constexpr const char* VT5_KEY_PANELCAST = "Panelcast";

struct VT5ConnectionOptions {
    int32_t serverOptionAllowed = -1;  // 0 disables "Connect through API Server"
    int32_t connectToServer = 0;       // nonzero: through the API server
    std::string serverAddress;         // empty: none
    int32_t serverPort = 0;            // 0 = 5937
    std::string directAccessId;        // serial to open directly; empty = the first HC found
    std::string programKey;            // the program's subkey of the ConnectionInfo key
};

// Reads the program's four values into options. 0, or the registry error of the first read
// that failed (the fields read before it keep their new values); -1 without a program key. A
// program that never saved (no "Connect to Server") keeps the record as it was.
int32_t LoadOptions(VT5ConnectionOptions& options);

// Writes the four values, creating the keys as needed. 0, the first registry error, or -1
// without a program key.
int32_t SaveOptions(const VT5ConnectionOptions& options);
