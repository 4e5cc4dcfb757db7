#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// One value: its name ("" for the default value), Win32 type and data bytes exactly as set.
// REG_SZ data holds the 8-bit text with whatever terminating NUL the caller stored.
struct HiveValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;

    bool operator==(const HiveValue&) const = default;
};

// One key: its full path from the root ("HKEY_CURRENT_USER\SOFTWARE\..."), values in the order
// they were first set ("registry order").
struct HiveKey {
    std::string path;
    std::vector<HiveValue> values;

    HiveValue* findValue(std::string_view name);
    const HiveValue* findValue(std::string_view name) const;

    bool operator==(const HiveKey&) const = default;
};

// The whole registry as one hive file holds it, keys in file order. Key paths and value names
// compare case-insensitively (ASCII letters) and keep the case they were first written with.
struct Hive {
    std::vector<HiveKey> keys;

    HiveKey* findKey(std::string_view path);
    const HiveKey* findKey(std::string_view path) const;
    // True when the key has a section of its own or of a subkey; a parent needs no section.
    bool keyExists(std::string_view path) const;
    // The path spelled as the hive already spells each of its leading components.
    std::string spell(std::string_view path) const;
    // The key at path, added at the end (spelled as above) when it has no section yet.
    HiveKey& addKey(std::string_view path);
    // Removes the key and all keys below it.
    void removeTree(std::string_view path);

    bool operator==(const Hive&) const = default;
};

bool sameName(std::string_view a, std::string_view b);
// True when path is below (not equal to) parent.
bool isBelow(std::string_view path, std::string_view parent);

}  // namespace platform::registry
