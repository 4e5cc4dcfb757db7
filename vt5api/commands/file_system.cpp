// The file system commands: command 0x5F with the file system lock section.

#include "vt5api/commands/file_system.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Runs `body` in the command sequence with the file system section; `fsStatus` starts at 0.
template <class Body>
int32_t RunFs(CVT5Api* api, int32_t* fsStatus, Body body) {
    if (fsStatus) *fsStatus = 0;
    if (!api) return VT5_E_NO_LINK;
    return api->RunCommand(VT5_SECTION_FS, body);
}

// The answer entry of `param` with one of the value lengths given: 30 when it is missing or
// of another length; 66 with the status when the HC's file system refused.
int32_t AnswerEntry(CVT5Api* api, uint8_t param, std::initializer_list<uint8_t> lengths,
                    int32_t* fsStatus, const uint8_t** entry = nullptr) {
    const uint8_t* e = api->FindAnswerParam(param);
    if (!e || std::find(lengths.begin(), lengths.end(), e[1]) == lengths.end())
        return VT5_E_INVALID_ANSWER;
    if (entry) *entry = e;
    auto status = static_cast<int32_t>(Le32(e + 2));
    if (status == 0) return VT5_OK;
    if (fsStatus) *fsStatus = status;
    return VT5_E_FS_REFUSED;
}

// One exchange of command 0x5F, with the file system's read time-out when fsTimeout.
int32_t ExchangeFs(CVT5Api* api, bool fsTimeout) {
    if (!fsTimeout) return api->Exchange();
    ScopedLinkTimeouts timeouts(*api->link, VT5_FS_READ_TIMEOUT, -1);
    return api->Exchange();
}

// ChangeDir, OpenDir, Delete and Open: the path as bulk data, then the parameter.
int32_t PathCommand(CVT5Api* api, const char* path, uint8_t param, const void* value, int32_t size,
                    int32_t* fsStatus) {
    return RunFs(api, fsStatus, [&]() -> int32_t {
        if (!path) return VT5_E_BAD_ARGUMENT;
        auto length = static_cast<int32_t>(strnlen(path, VT5_FS_MAX_PATH));
        int32_t result = api->BeginCommand(VT5_CMD_FILE_SYSTEM);
        if (result == VT5_OK) result = api->AttachBulk(path, length);
        if (result == VT5_OK) result = api->AddParam(param, value, size);
        if (result == VT5_OK) result = ExchangeFs(api, true);
        if (result != VT5_OK) return result;
        return AnswerEntry(api, param, {4}, fsStatus);
    });
}

// Bulk data of the last answer; null when none arrived.
const uint8_t* ReceivedBulk(CVT5Api* api, int32_t& size) {
    size = api->bulkData ? api->bulkReceived : 0;
    return size > 0 ? api->bulkData : nullptr;
}

}  // namespace

int32_t VT5cmd_FS_GetCurrentDir(CVT5Api* api, char* buffer, int32_t bufferSize, int32_t* fsStatus) {
    return RunFs(api, fsStatus, [&]() -> int32_t {
        int32_t result = api->BeginCommand(VT5_CMD_FILE_SYSTEM);
        if (result == VT5_OK) result = api->AddParam(VT5_FS_GET_CURRENT_DIR, nullptr, 0);
        if (result == VT5_OK) result = ExchangeFs(api, false);
        if (result == VT5_OK) result = AnswerEntry(api, VT5_FS_GET_CURRENT_DIR, {4}, fsStatus);
        if (result != VT5_OK) return result;
        int32_t received = 0;
        const uint8_t* path = ReceivedBulk(api, received);
        if (buffer && bufferSize >= 2 && path) {
            int32_t n = std::min(received, bufferSize - 1);
            std::memcpy(buffer, path, static_cast<size_t>(n));
            buffer[n] = '\0';
        }
        return VT5_OK;
    });
}

int32_t VT5cmd_FS_ChangeDir(CVT5Api* api, const char* path, int32_t* fsStatus) {
    return PathCommand(api, path, VT5_FS_CHANGE_DIR, nullptr, 0, fsStatus);
}

int32_t VT5cmd_FS_OpenDir(CVT5Api* api, const char* path, int32_t* fsStatus) {
    return PathCommand(api, path, VT5_FS_OPEN_DIR, nullptr, 0, fsStatus);
}

int32_t VT5cmd_FS_Delete(CVT5Api* api, const char* path, int32_t* fsStatus) {
    const uint32_t c = VT5_FS_DELETE_CONFIRMATION;
    const uint8_t code[4] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)};
    return PathCommand(api, path, VT5_FS_DELETE, code, 4, fsStatus);
}

int32_t VT5cmd_FS_Open(CVT5Api* api, const char* path, uint8_t mode, int32_t* fsStatus) {
    return PathCommand(api, path, VT5_FS_OPEN, &mode, 1, fsStatus);
}

int32_t VT5cmd_FS_ReadDir(CVT5Api* api, VT5DirEntry* entry, int32_t* fsStatus) {
    return RunFs(api, fsStatus, [&]() -> int32_t {
        if (!entry || entry->structSize != static_cast<int32_t>(sizeof(VT5DirEntry)))
            return VT5_E_BAD_ARGUMENT;
        const uint8_t one = 1;
        int32_t result = api->BeginCommand(VT5_CMD_FILE_SYSTEM);
        if (result == VT5_OK) result = api->AddParam(VT5_FS_READ_DIR, &one, 1);
        if (result == VT5_OK) result = ExchangeFs(api, true);
        const uint8_t* e = nullptr;
        if (result == VT5_OK) result = AnswerEntry(api, VT5_FS_READ_DIR, {4, 25}, fsStatus, &e);
        if (result != VT5_OK) return result;
        bool wantsLongName = entry->longNameCapacity > 0 && entry->longName;
        if (e[1] == 4) {  // the end of the listing
            entry->size = 0;
            entry->date = entry->time = 0;
            entry->attributes = 0;
            entry->shortName[0] = '\0';
            if (wantsLongName) entry->longName[0] = '\0';
            return VT5_OK;
        }
        const uint8_t* v = e + 2;
        entry->size = static_cast<int32_t>(Le32(v + 4));
        entry->time = static_cast<uint16_t>(v[8] | v[9] << 8);
        entry->date = static_cast<uint16_t>(v[10] | v[11] << 8);
        entry->attributes = v[12];
        std::memcpy(entry->shortName, v + 13, 12);
        entry->shortName[12] = '\0';
        if (wantsLongName) {
            int32_t received = 0;
            const uint8_t* name = ReceivedBulk(api, received);
            size_t n = name ? static_cast<size_t>(std::min(received, entry->longNameCapacity - 1))
                            : std::min<size_t>(static_cast<size_t>(entry->longNameCapacity - 1),
                                               strnlen(entry->shortName, 12));
            std::memcpy(entry->longName, name ? static_cast<const void*>(name) : entry->shortName,
                        n);
            entry->longName[n] = '\0';
        }
        return VT5_OK;
    });
}

int32_t VT5cmd_FS_Read(CVT5Api* api, void* buffer, int32_t length, int32_t* bytesRead,
                       int32_t* fsStatus) {
    if (bytesRead) *bytesRead = 0;
    return RunFs(api, fsStatus, [&]() -> int32_t {
        if (length < 0) return VT5_E_BAD_ARGUMENT;
        auto* out = static_cast<uint8_t*>(buffer);
        int32_t done = 0;
        // One time-out for all pieces: through a server each setting is a round trip.
        std::optional<ScopedLinkTimeouts> timeouts;
        if (length > 0) timeouts.emplace(*api->link, VT5_FS_READ_TIMEOUT, -1);
        while (done < length) {
            int32_t piece = std::min(length - done, VT5_FS_PIECE);
            const uint8_t count[2] = {uint8_t(piece), uint8_t(piece >> 8)};
            int32_t result = api->BeginCommand(VT5_CMD_FILE_SYSTEM);
            if (result == VT5_OK) result = api->AddParam(VT5_FS_READ, count, 2);
            if (result == VT5_OK) result = api->Exchange();
            if (result == VT5_OK) result = AnswerEntry(api, VT5_FS_READ, {4}, fsStatus);
            if (result != VT5_OK) return result;
            int32_t received = 0;
            const uint8_t* data = ReceivedBulk(api, received);
            if (!data) break;  // the end of the file
            // Never more than was asked for, whatever the HC sent.
            received = std::min(received, piece);
            if (out) std::memcpy(out + done, data, static_cast<size_t>(received));
            done += received;
        }
        if (bytesRead) *bytesRead = done;
        return VT5_OK;
    });
}

int32_t VT5cmd_FS_Write(CVT5Api* api, const void* data, int32_t length, int32_t* bytesWritten,
                        int32_t* fsStatus) {
    if (bytesWritten) *bytesWritten = 0;
    return RunFs(api, fsStatus, [&]() -> int32_t {
        if (!data || length < 0) return VT5_E_BAD_ARGUMENT;
        const auto* bytes = static_cast<const uint8_t*>(data);
        std::optional<ScopedLinkTimeouts> timeouts;
        if (length > 0) timeouts.emplace(*api->link, VT5_FS_READ_TIMEOUT, -1);
        for (int32_t done = 0; done < length;) {
            int32_t piece = std::min(length - done, VT5_FS_PIECE);
            int32_t result = api->BeginCommand(VT5_CMD_FILE_SYSTEM);
            if (result == VT5_OK) result = api->AttachBulk(bytes + done, piece);
            if (result == VT5_OK) result = api->AddParam(VT5_FS_WRITE, nullptr, 0);
            if (result == VT5_OK) result = api->Exchange();
            if (result == VT5_OK) result = AnswerEntry(api, VT5_FS_WRITE, {4}, fsStatus);
            if (result != VT5_OK) return result;
            done += piece;
            if (bytesWritten) *bytesWritten = done;
        }
        return VT5_OK;
    });
}

int32_t VT5cmd_FS_Close(CVT5Api* api, int32_t* fsStatus) {
    return RunFs(api, fsStatus, [&]() -> int32_t {
        int32_t result = api->BeginCommand(VT5_CMD_FILE_SYSTEM);
        if (result == VT5_OK) result = api->AddParam(VT5_FS_CLOSE, nullptr, 0);
        if (result == VT5_OK) result = ExchangeFs(api, true);
        if (result != VT5_OK) return result;
        return AnswerEntry(api, VT5_FS_CLOSE, {4}, fsStatus);
    });
}
