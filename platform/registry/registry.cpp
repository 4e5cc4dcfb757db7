#include "platform/registry/registry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/registry/hive_file.h"

namespace platform::registry {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
// Windows' limits, so that every hive still imports there.
constexpr std::size_t kMaxKeyPart = 255;
constexpr std::size_t kMaxValueName = 16383;

bool hasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](unsigned char c) { return c < 0x20; });
}

bool validSubKey(std::string_view subKey) {
    if (subKey.empty()) return true;
    for (std::size_t start = 0;;) {
        const std::size_t end = subKey.find('\\', start);
        const std::string_view part = subKey.substr(start, end - start);
        if (part.empty() || part.size() > kMaxKeyPart || hasControl(part)) return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

bool validName(std::string_view name) {
    return name.size() <= kMaxValueName && !hasControl(name);
}

std::uint32_t sizeOf(const std::string& data) {
    return static_cast<std::uint32_t>(data.size());
}

// Copies the value's data into a buffer known to be big enough; see queryValue for the NUL.
void copyData(const HiveValue& v, void* data, std::uint32_t capacity) {
    std::memcpy(data, v.data.data(), v.data.size());
    const bool unterminated = v.data.empty() || v.data.back() != '\0';
    if (v.type == REG_SZ && unterminated && v.data.size() < capacity) {
        static_cast<char*>(data)[v.data.size()] = '\0';
    }
}

}  // namespace

LSTATUS createKey(std::string_view subKey, Key& out) {
    return Key(hivePath(), std::string(kRoot)).createSubKey(subKey, out);
}

LSTATUS openKey(std::string_view subKey, Key& out) {
    return Key(hivePath(), std::string(kRoot)).openSubKey(subKey, out);
}

Key::Key(Key&& other) noexcept
    : hive_(std::move(other.hive_)),
      path_(std::move(other.path_)),
      open_(std::exchange(other.open_, false)) {}

Key& Key::operator=(Key&& other) noexcept {
    hive_ = std::move(other.hive_);
    path_ = std::move(other.path_);
    open_ = std::exchange(other.open_, false);
    return *this;
}

void Key::close() {
    open_ = false;
    hive_.clear();
    path_.clear();
}

LSTATUS Key::createSubKey(std::string_view subKey, Key& out) const {
    return reachSubKey(subKey, true, out);
}

LSTATUS Key::openSubKey(std::string_view subKey, Key& out) const {
    return reachSubKey(subKey, false, out);
}

LSTATUS Key::reachSubKey(std::string_view subKey, bool create, Key& out) const {
    if (!open_) return ERROR_INVALID_HANDLE;
    if (!validSubKey(subKey)) return ERROR_INVALID_PARAMETER;
    std::string spelled = path_;
    if (!subKey.empty()) {
        const std::string full = path_ + '\\' + std::string(subKey);
        const auto find = [&](Hive& hive) {
            if (hive.keyExists(full)) {
                spelled = hive.spell(full);
            } else if (create) {
                spelled = hive.addKey(full).path;
            } else {
                return ERROR_FILE_NOT_FOUND;
            }
            return ERROR_SUCCESS;
        };
        const HiveFile file(hive_);
        Hive hive;
        LSTATUS status = file.read(hive);
        // An existing key opens without writing, so that a hive that may not be written still
        // reads; only creating a key that is missing takes the writer's path.
        if (status == ERROR_SUCCESS && create && !hive.keyExists(full)) {
            status = file.update(find);
        } else if (status == ERROR_SUCCESS) {
            status = find(hive);
        }
        if (status != ERROR_SUCCESS) {
            out.close();
            return status;
        }
    }
    out = Key(hive_, std::move(spelled));
    return ERROR_SUCCESS;
}

LSTATUS Key::queryValue(std::string_view name, std::uint32_t* type, void* data,
                        std::uint32_t* dataSize) const {
    if (!open_) return ERROR_INVALID_HANDLE;
    if (data && !dataSize) return ERROR_INVALID_PARAMETER;
    Hive hive;
    if (const LSTATUS status = HiveFile(hive_).read(hive); status != ERROR_SUCCESS) return status;
    const HiveKey* key = hive.findKey(path_);
    const HiveValue* value = key ? key->findValue(name) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;

    if (type) *type = value->type;
    const std::uint32_t capacity = dataSize ? *dataSize : 0;
    if (dataSize) *dataSize = sizeOf(value->data);
    if (!data) return ERROR_SUCCESS;
    if (value->data.size() > capacity) return ERROR_MORE_DATA;
    copyData(*value, data, capacity);
    return ERROR_SUCCESS;
}

LSTATUS Key::setValue(std::string_view name, std::uint32_t type, const void* data,
                      std::uint32_t dataSize) {
    if (!open_) return ERROR_INVALID_HANDLE;
    if (!validName(name) || (!data && dataSize > 0)) return ERROR_INVALID_PARAMETER;
    const std::string bytes = data ? std::string(static_cast<const char*>(data), dataSize) : "";
    return HiveFile(hive_).update([&](Hive& hive) {
        HiveKey& key = hive.addKey(path_);
        if (HiveValue* value = key.findValue(name)) {
            value->type = type;
            value->data = bytes;
        } else {
            key.values.push_back(HiveValue{std::string(name), type, bytes});
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS Key::setString(std::string_view name, std::string_view text) {
    std::string data(text);
    data += '\0';
    return setValue(name, REG_SZ, data.data(), sizeOf(data));
}

LSTATUS Key::setDword(std::string_view name, std::uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return setValue(name, REG_DWORD, bytes, sizeof bytes);
}

LSTATUS Key::enumValue(std::uint32_t index, char* name, std::uint32_t* nameSize,
                       std::uint32_t* type, void* data, std::uint32_t* dataSize) const {
    if (!open_) return ERROR_INVALID_HANDLE;
    if (!name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    Hive hive;
    if (const LSTATUS status = HiveFile(hive_).read(hive); status != ERROR_SUCCESS) return status;
    const HiveKey* key = hive.findKey(path_);
    if (!key || index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const HiveValue& value = key->values[index];

    const std::uint32_t nameCapacity = *nameSize;
    const std::uint32_t dataCapacity = dataSize ? *dataSize : 0;
    const bool fits =
        value.name.size() < nameCapacity && (!data || value.data.size() <= dataCapacity);
    if (type) *type = value.type;
    *nameSize = sizeOf(value.name);
    if (dataSize) *dataSize = sizeOf(value.data);
    if (!fits) return ERROR_MORE_DATA;
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    if (data) copyData(value, data, dataCapacity);
    return ERROR_SUCCESS;
}

LSTATUS Key::deleteValue(std::string_view name) {
    if (!open_) return ERROR_INVALID_HANDLE;
    return HiveFile(hive_).update([&](Hive& hive) {
        HiveKey* key = hive.findKey(path_);
        const bool erased = key && std::erase_if(key->values, [&](const HiveValue& v) {
                                       return sameName(v.name, name);
                                   }) > 0;
        return erased ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

}  // namespace platform::registry
