#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/registry/errors.h"

namespace platform::registry {

// The HKEY_CURRENT_USER registry of the suite, kept in one hive file per user (hive_file.h for
// where and how, reg_text.h for its format). The calls follow RegCreateKeyEx, RegOpenKeyEx,
// RegQueryValueEx, RegSetValueEx, RegEnumValue and RegDeleteValue with 8-bit text, and return
// the Win32 error numbers of errors.h. Besides those listed per call, every call may return
// ERROR_INVALID_HANDLE (Key not open), ERROR_REGISTRY_CORRUPT, ERROR_ACCESS_DENIED and
// ERROR_REGISTRY_IO_FAILED.
//
// Key paths are backslash-separated ("SOFTWARE\NORVANE\Veltra-5"); an empty path is the key
// itself. Parts must be non-empty, without control characters and at most 255 bytes. Value
// names ("" is the default value) are at most 16383 bytes without control characters. Others
// give ERROR_INVALID_PARAMETER. Both compare case-insensitively for ASCII letters and keep the
// case they were first written with. A create or open that fails leaves out closed.

class Key;

// Opens the key below HKEY_CURRENT_USER, creating it and any missing parents.
LSTATUS createKey(std::string_view subKey, Key& out);
// Opens an existing key below HKEY_CURRENT_USER; ERROR_FILE_NOT_FOUND when there is none.
LSTATUS openKey(std::string_view subKey, Key& out);

// An open registry key. It holds no file open between calls: each call locks and reads the
// hive (and replaces it for a change), so keys held open by several programs see each other's
// changes at once. Values set on a key whose section vanished from the hive (the file removed
// by hand) recreate it. Closing is releasing the handle: it happens on destruction, on move
// and by close(); afterwards calls return ERROR_INVALID_HANDLE.
class Key {
public:
    Key() = default;
    Key(Key&& other) noexcept;
    Key& operator=(Key&& other) noexcept;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() = default;

    bool isOpen() const { return open_; }
    void close();
    // The full path, "HKEY_CURRENT_USER\..." spelled as in the hive.
    const std::string& path() const { return path_; }

    LSTATUS createSubKey(std::string_view subKey, Key& out) const;
    LSTATUS openSubKey(std::string_view subKey, Key& out) const;

    // RegQueryValueEx. type (optional) receives the value's type. With data, *dataSize is the
    // buffer's size in bytes; data too big for it gives ERROR_MORE_DATA and copies nothing.
    // *dataSize (optional without data) receives the data's size in every case but not found.
    // A REG_SZ stored without its terminating NUL gets one after the data when the buffer
    // has room for it (not counted in *dataSize). ERROR_FILE_NOT_FOUND: no such value.
    LSTATUS queryValue(std::string_view name, std::uint32_t* type, void* data,
                       std::uint32_t* dataSize) const;

    // RegSetValueEx: stores the bytes as given under the type; replaces the data and type of
    // an existing value in its place in registry order, else appends the value.
    LSTATUS setValue(std::string_view name, std::uint32_t type, const void* data,
                     std::uint32_t dataSize);
    // REG_SZ of text with its terminating NUL.
    LSTATUS setString(std::string_view name, std::string_view text);
    LSTATUS setDword(std::string_view name, std::uint32_t value);

    // RegEnumValue: the value at index in registry order; ERROR_NO_MORE_ITEMS past the last.
    // *nameSize is the name buffer's size in bytes including the NUL and receives the name's
    // length without it. data, dataSize and type as for queryValue. When either buffer is too
    // small the call gives ERROR_MORE_DATA, copies nothing and passes back both sizes needed
    // (the name's without its NUL).
    LSTATUS enumValue(std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                      void* data, std::uint32_t* dataSize) const;

    // RegDeleteValue; ERROR_FILE_NOT_FOUND when there is no such value.
    LSTATUS deleteValue(std::string_view name);

private:
    friend LSTATUS createKey(std::string_view subKey, Key& out);
    friend LSTATUS openKey(std::string_view subKey, Key& out);

    LSTATUS reachSubKey(std::string_view subKey, bool create, Key& out) const;

    Key(std::filesystem::path hive, std::string path)
        : hive_(std::move(hive)), path_(std::move(path)), open_(true) {}

    std::filesystem::path hive_;
    std::string path_;
    bool open_ = false;
};

}  // namespace platform::registry
