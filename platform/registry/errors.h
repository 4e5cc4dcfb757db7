#pragma once

#include <cstdint>

namespace platform::registry {

// Every registry call returns a Win32 error number, so that code written against the Windows
// registry compares results exactly as it would there.
using LSTATUS = std::int32_t;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
// A key opened without create that does not exist; a value that does not exist.
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
// The hive, its folder or its lock file may not be written (or read).
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
// A call on a Key that is not open.
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
// A malformed key path or value name, or a data buffer without its size.
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
// A caller's buffer is too small; the sizes needed are passed back.
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
// Enumeration past the last value.
inline constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
// The hive file cannot be parsed. Reads and writes fail with it and the file is left as it is,
// byte for byte, for the user to mend or remove.
inline constexpr LSTATUS ERROR_REGISTRY_CORRUPT = 1015;
// Reading or replacing the hive failed for another reason (disk full, I/O error).
inline constexpr LSTATUS ERROR_REGISTRY_IO_FAILED = 1016;

// Value types, numbered as on Windows. The callers use REG_SZ and REG_DWORD; other types found
// in a hive are kept and passed through as bytes.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

}  // namespace platform::registry
