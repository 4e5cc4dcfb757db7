#pragma once

// Where the API server listens and whom it serves, as Gantrix keeps it in its settings:
// HKEY_CURRENT_USER\SOFTWARE\NORVANE\Veltra-5\API server, REG_SZ values "Listen" (addresses
// or host names) and "Allow" (networks such as 192.168.1.0/24), each a list separated by
// spaces or commas. Absent or empty: every IPv4 address, anyone (as the server always did).

#include <string>
#include <string_view>
#include <vector>

#include "gantrix/server/server_status.h"

inline constexpr const char* kServerNetworkKey = "SOFTWARE\\NORVANE\\Veltra-5\\API server";
inline constexpr const char* kServerListenValue = "Listen";
inline constexpr const char* kServerAllowValue = "Allow";

// "127.0.0.0/8, 192.168.0.0/16 fd00::/8" → its three items.
std::vector<std::string> SplitAddressList(std::string_view text);

// Fills the listen addresses and the allowed networks of the status record from the settings.
// Returns "" or why the settings could not be read (the server must not start then: serving
// anyone would open what the setting meant to close).
std::string LoadServerNetworkSettings(ServerStatus& status);
