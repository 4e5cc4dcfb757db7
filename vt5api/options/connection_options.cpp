#include "vt5api/options/connection_options.h"

#include <cstring>

#include "platform/registry/registry.h"

namespace reg = platform::registry;

namespace {

constexpr const char* kConnectToServer = "Connect to Server";
constexpr const char* kDirectAccessId = "Direct access ID";
constexpr const char* kServerAddress = "Server address";
constexpr const char* kServerPort = "Server port";

// A DWORD value; sets `value` only when the data is exactly four bytes.
reg::LSTATUS ReadDword(const reg::Key& key, const char* name, int32_t& value) {
    unsigned char bytes[4] = {};
    uint32_t size = sizeof bytes;
    reg::LSTATUS status = key.queryValue(name, nullptr, bytes, &size);
    if (status == reg::ERROR_SUCCESS && size == sizeof bytes)
        value = static_cast<int32_t>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                     uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
    return status;
}

// A text of at most 1023 characters, taken up to its first NUL. The registry leaves the buffer
// untouched when the value does not fit, so a value too long reads as the empty text.
reg::LSTATUS ReadText(const reg::Key& key, const char* name, std::string& text) {
    char buffer[1025];
    std::memset(buffer, 0, sizeof buffer);
    uint32_t size = 1024;
    reg::LSTATUS status = key.queryValue(name, nullptr, buffer, &size);
    if (status == reg::ERROR_SUCCESS || status == reg::ERROR_MORE_DATA) {
        text = buffer;
        return reg::ERROR_SUCCESS;
    }
    return status;
}

}  // namespace

int32_t LoadOptions(VT5ConnectionOptions& options) {
    if (options.programKey.empty()) return -1;
    reg::Key info;
    if (reg::LSTATUS status = reg::createKey(VT5_CONNECTION_INFO_KEY, info); status) return status;
    reg::Key program;
    if (reg::LSTATUS status = info.openSubKey(options.programKey, program); status) return status;

    int32_t flag = options.connectToServer;
    if (reg::LSTATUS status = ReadDword(program, kConnectToServer, flag); status) return status;
    options.connectToServer = flag != 0 ? 1 : 0;
    if (reg::LSTATUS status = ReadText(program, kDirectAccessId, options.directAccessId); status)
        return status;
    if (reg::LSTATUS status = ReadText(program, kServerAddress, options.serverAddress); status)
        return status;
    return ReadDword(program, kServerPort, options.serverPort);
}

int32_t SaveOptions(const VT5ConnectionOptions& options) {
    if (options.programKey.empty()) return -1;
    reg::Key program;
    if (reg::LSTATUS status = reg::createKey(
            std::string(VT5_CONNECTION_INFO_KEY) + "\\" + options.programKey, program);
        status)
        return status;
    if (reg::LSTATUS status =
            program.setDword(kConnectToServer, options.connectToServer ? 0xFFFFFFFFu : 0u);
        status)
        return status;
    if (reg::LSTATUS status = program.setString(kDirectAccessId, options.directAccessId); status)
        return status;
    if (reg::LSTATUS status = program.setString(kServerAddress, options.serverAddress); status)
        return status;
    return program.setDword(kServerPort, static_cast<uint32_t>(options.serverPort));
}
