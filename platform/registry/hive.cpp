#include "platform/registry/hive.h"

#include <algorithm>

namespace platform::registry {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The element of range whose name (the member given) matches, or null.
template <typename Range, typename Member>
auto* findByName(Range& range, std::string_view name, Member member) {
    auto it = std::find_if(range.begin(), range.end(),
                           [&](const auto& item) { return sameName(item.*member, name); });
    return it == range.end() ? nullptr : &*it;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lower(x) == lower(y); });
}

bool isBelow(std::string_view path, std::string_view parent) {
    return path.size() > parent.size() + 1 && path[parent.size()] == '\\' &&
           sameName(path.substr(0, parent.size()), parent);
}

HiveValue* HiveKey::findValue(std::string_view name) {
    return findByName(values, name, &HiveValue::name);
}
const HiveValue* HiveKey::findValue(std::string_view name) const {
    return findByName(values, name, &HiveValue::name);
}

HiveKey* Hive::findKey(std::string_view path) {
    return findByName(keys, path, &HiveKey::path);
}
const HiveKey* Hive::findKey(std::string_view path) const {
    return findByName(keys, path, &HiveKey::path);
}

bool Hive::keyExists(std::string_view path) const {
    return std::any_of(keys.begin(), keys.end(), [&](const HiveKey& k) {
        return sameName(k.path, path) || isBelow(k.path, path);
    });
}

std::string Hive::spell(std::string_view path) const {
    std::string spelled(path);
    // Each leading part "A\B\...\X" of path takes the spelling of the first key that has it;
    // every key sharing that part spells it the same, since each was spelled this way.
    for (std::size_t end = 0; end != std::string_view::npos;) {
        end = path.find('\\', end + 1);
        const std::string_view prefix = path.substr(0, end);
        for (const HiveKey& k : keys) {
            if (sameName(k.path, prefix) || isBelow(k.path, prefix)) {
                spelled.replace(0, prefix.size(), k.path, 0, prefix.size());
                break;
            }
        }
    }
    return spelled;
}

HiveKey& Hive::addKey(std::string_view path) {
    if (HiveKey* key = findKey(path)) return *key;
    keys.push_back(HiveKey{spell(path), {}});
    return keys.back();
}

void Hive::removeTree(std::string_view path) {
    std::erase_if(
        keys, [&](const HiveKey& k) { return sameName(k.path, path) || isBelow(k.path, path); });
}

}  // namespace platform::registry
