#pragma once

// The list of HCs the user has named, shared by all programs: REG_SZ values directly in the
// ConnectionInfo key, the value name an HC's serial, the data its description.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The description of an HC added to the list before the user named it.
inline constexpr const char* VT5_UNNAMED_DEVICE = "< name the HC here >";

// The next named HC at or after index, in registry order; index moves past it. 0, or the
// registry error (ERROR_NO_MORE_ITEMS, 259, after the last). Values that are not REG_SZ, or
// whose name (255) or data (1023 characters) are too long to be a named HC, are passed over.
// A negative index ends an enumeration and returns 0; every call reads the list afresh, so
// there is nothing to release.
int32_t EnumNamedDevice(int32_t& index, std::string& serial, std::string& description);

// Stores the description of serial; with onlyIfAbsent set an existing one is kept. 0 or the
// registry error.
int32_t SetNamedDevice(const std::string& serial, const std::string& description,
                       int32_t onlyIfAbsent);

// 0 or the registry error (ERROR_FILE_NOT_FOUND, 2, when serial is not named).
int32_t RemoveNamedDevice(const std::string& serial);

// 1 and the description in place of the serial when serial is named; otherwise 0 and serial
// stays as it was.
int32_t FindNamedDevice(std::string& serial);

// Every named HC in registry order: (serial, description).
std::vector<std::pair<std::string, std::string>> ListNamedDevices();
