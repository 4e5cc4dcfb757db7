#include "gantrix/server/network_settings.h"

#include "platform/registry/registry.h"

namespace {

using namespace platform::registry;

// The value's text: true with "" when there is no such key or value.
bool ReadText(const Key& key, const char* name, std::string& text) {
    text.clear();
    if (!key.isOpen()) return true;
    uint32_t type = 0, size = 0;
    LSTATUS status = key.queryValue(name, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    std::string data(size + 1, '\0');
    status = key.queryValue(name, &type, data.data(), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    data.resize(size);
    while (!data.empty() && data.back() == '\0')
        data.pop_back();
    text = data;
    return true;
}

}  // namespace

std::vector<std::string> SplitAddressList(std::string_view text) {
    std::vector<std::string> items;
    std::string item;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r') {
            if (!item.empty()) items.push_back(std::move(item));
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.empty()) items.push_back(std::move(item));
    return items;
}

std::string LoadServerNetworkSettings(ServerStatus& status) {
    Key key;
    const LSTATUS opened = openKey(kServerNetworkKey, key);
    std::string listen, allow;
    const bool readable = (opened == ERROR_SUCCESS || opened == ERROR_FILE_NOT_FOUND) &&
                          ReadText(key, kServerListenValue, listen) &&
                          ReadText(key, kServerAllowValue, allow);
    status.listenAddresses = SplitAddressList(listen);
    status.allowedNetworks = SplitAddressList(allow);
    if (readable) return {};
    return std::string("the settings \"") + kServerListenValue + "\" and \"" + kServerAllowValue +
           "\" of HKEY_CURRENT_USER\\" + kServerNetworkKey + " could not be read";
}
