// Command messages, answers and bulk data on the wire.

#include <algorithm>
#include <cstring>
#include <vector>

#include "vt5api/api/vt5api.h"

namespace {

constexpr int kHeader = 5;  // answer ID, counter, type, length (2)

uint16_t AnswerLength(const CVT5Msg& m) {
    return static_cast<uint16_t>(m.bytes[3] | m.bytes[4] << 8);
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t AsyncCode(const CVT5Msg& m) {
    if (AnswerLength(m) != 5) return VT5_E_UNKNOWN_ASYNC;
    switch (m.bytes[1]) {
        case 0xAA:
        case 0xB7:
            return VT5_E_MODE_CHANGED;
        case 0x36:
            return VT5_E_POWERED_OFF;
        default:
            return VT5_E_UNKNOWN_ASYNC;
    }
}

int32_t AnswerTypeResult(uint8_t type, bool counterMatches) {
    switch (type) {
        case 0:
            return counterMatches ? VT5_OK : VT5_E_WRONG_COUNTER;
        case 16:
            return VT5_E_INVALID_COMMAND;
        case 17:
            return VT5_E_COUNTER_MISMATCH;
        case 18:
            return VT5_E_UNKNOWN_PARAMETER;
        case 19:
            return VT5_E_TOO_MANY_PARAMETERS;
        case 20:
            return VT5_E_TOO_MANY_BYTES_SENT;
        case 32:
            return VT5_E_CANT_EXECUTE;
        default:
            return VT5_E_UNKNOWN_ANSWER_TYPE;
    }
}

}  // namespace

int32_t CVT5Api::BeginCommand(uint8_t code) {
    command.length = 0;
    command.bulkData = nullptr;
    command.bulkSize = 0;
    command.currentCommand = nullptr;
    if (command.tableCheck && !commandTable.empty()) {
        auto it = commandTable.find(code);
        if (it == commandTable.end()) return VT5_E_COMMAND_NOT_SUPPORTED;
        command.currentCommand = &it->second;
    }
    command.AppendByte(code);
    command.AppendByte(command.counter);
    command.counter = CVT5Msg::NextCounter(command.counter);
    return VT5_OK;
}

int32_t CVT5Api::AddParam(uint8_t id, const void* value, int32_t size) {
    if (command.tableCheck && command.currentCommand) {
        auto it = command.currentCommand->find(id);
        if (it == command.currentCommand->end()) return VT5_E_PARAMETER_NOT_SUPPORTED;
        if (it->second != size) return VT5_E_PARAMETER_SIZE;
    }
    int32_t result = command.AppendByte(id);
    if (result == VT5_OK && value && size > 0) result = command.AppendBytes(value, size);
    return result;
}

int32_t CVT5Api::AttachBulk(const void* data, int32_t size) {
    command.bulkData = static_cast<const uint8_t*>(data);
    command.bulkSize = size;
    uint8_t entry[5] = {VT5_PARAM_BULK_SIZE, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16),
                        uint8_t(size >> 24)};
    return command.AppendBytes(entry, 5);
}

int32_t CVT5Api::SendCommand() {
    command.tableCheck = 1;
    int32_t result = VT5_EnsureConnection(this);
    if (result != VT5_OK) return result;
    uint8_t code = command.bytes[0];
    if (code != 0x00 && code != VT5_TERMINATOR && command.AppendByte(VT5_TERMINATOR) != VT5_OK)
        return VT5_E_COMMAND_TOO_LONG;
    if (link->Write(command.bytes, command.length) < command.length) return VT5_E_COMMUNICATION;
    if (command.bulkData && command.bulkSize > 0 &&
        link->Write(command.bulkData, command.bulkSize) < command.bulkSize)
        return VT5_E_COMMUNICATION;
    command.bulkData = nullptr;
    command.bulkSize = 0;
    return VT5_OK;
}

int32_t CVT5Api::ReadAnswerMessage() {
    if (!link) return VT5_E_NO_LINK;
    bool client = link->Mode() == VT5_MODE_CLIENT;
    int32_t asyncCode = 0;
    bool sawAsync = false;
    int32_t relayed = 0;  // answer chunks that came from the server's relay queue
    std::vector<uint8_t> asyncBytes;
    for (;;) {
        answer.length = 0;
        answer.bulkData = nullptr;
        answer.bulkSize = 0;
        int32_t chunks = 0;
        if (link->Read(answer.bytes, 1, &chunks) == 0) return VT5_E_COMMUNICATION;
        relayed += chunks;
        int32_t got = link->Read(answer.bytes + 1, 4, &chunks);
        relayed += chunks;
        if (got == 0) return VT5_E_COMMUNICATION;
        if (got < 4) return VT5_E_SHORT_ANSWER;
        answer.length = kHeader;
        if (answer.bytes[0] != VT5_ASYNC_ID) break;
        int32_t code = AsyncCode(answer);
        if (asyncCode != VT5_E_UNKNOWN_ASYNC) asyncCode = code;
        sawAsync = true;
        asyncBytes.insert(asyncBytes.end(), answer.bytes, answer.bytes + kHeader);
        int32_t waiting = 0;
        if (link->QueryReadBufLen(&waiting) != VT5_OK || waiting <= 0) break;
    }
    if (sawAsync) {
        // The server's other clients learn of it too, unless it came from them.
        if (client && relayed == 0) {
            int32_t result =
                link->AsyncRelay(asyncBytes.data(), static_cast<int32_t>(asyncBytes.size()));
            if (result != VT5_OK) {
                VT5_Close(this);
                return result;
            }
        }
        return ReactToAsync(asyncCode);
    }
    uint16_t length = AnswerLength(answer);
    if (length < 1 || length > VT5_MSG_SIZE) return VT5_E_INVALID_ANSWER;
    if (length > kHeader) {
        int32_t rest = length - kHeader;
        int32_t got = link->Read(answer.bytes + kHeader, rest);
        if (got == 0) return VT5_E_COMMUNICATION;
        if (got < rest) return VT5_E_SHORT_ANSWER;
        answer.length = length;
    }
    if (answer.bytes[0] != command.bytes[0]) return VT5_E_WRONG_ANSWER_ID;
    if (answer.bytes[1] == 0xF0) return VT5_E_INVALID_COMMAND;
    return AnswerTypeResult(answer.bytes[2], answer.bytes[1] == command.bytes[1]);
}

int32_t CVT5Api::ReceiveAnswer() {
    int32_t result = ReceiveAnswerEntries();
    // Unless the answer was read whole, what the HC still sends of it is nobody's answer.
    // (An asynchronous message has closed the link already.)
    if (result != VT5_OK && link && link->IsOpen()) link->MarkOutOfStep();
    if (result == VT5_OK && !bulkBuffered) bulkOnLink = bulkAnnounced;
    return result;
}

int32_t CVT5Api::ReceiveAnswerEntries() {
    int32_t result = ReadAnswerMessage();
    if (result != VT5_OK) return result;
    bulkAnnounced = 0;
    bulkBuffered = 0;
    bulkData = nullptr;
    uint8_t* destination = nullptr;
    int32_t received = 0;
    CVT5Msg first;  // the answer that opened a series of bulk segments
    bool keptFirst = false;
    for (int pos = kHeader; pos < answer.length;) {
        if (answer.length - pos < 2) return VT5_E_INVALID_ANSWER;
        uint8_t id = answer.bytes[pos];
        uint8_t len = answer.bytes[pos + 1];
        const uint8_t* value = answer.bytes + pos + 2;
        if (pos + 2 + len > answer.length) return VT5_E_INVALID_ANSWER;
        pos += 2 + len;
        if (id == VT5_PARAM_BULK_SIZE) {
            if (len != 4) return VT5_E_INVALID_ANSWER;
            uint32_t size = Le32(value);
            // More than the bulk buffer holds is refused before a byte of it is read.
            if (size > static_cast<uint32_t>(VT5_BULK_BUFFER_SIZE)) return VT5_E_INVALID_ANSWER;
            destination = bulkBuffer.get();
            answer.bulkData = destination;
            answer.bulkSize = VT5_BULK_BUFFER_SIZE;
            bulkAnnounced = static_cast<int32_t>(size);
            bulkBuffered = 1;
            bulkData = destination;
        } else if (id == VT5_PARAM_BULK_ON_LINK) {
            if (len != 0) return VT5_E_INVALID_ANSWER;
            bulkBuffered = 0;
        } else if (id == VT5_PARAM_BULK_FOLLOWS) {
            if (len != 0) return VT5_E_INVALID_ANSWER;
            int32_t remaining = bulkAnnounced - received;
            while (remaining > 0 && destination) {
                int32_t chunk = std::min(remaining, 65535 - AnswerLength(answer));
                if (chunk <= 0) return VT5_E_INVALID_ANSWER;
                if (link->Read(destination + received, chunk) < chunk) return VT5_E_TOO_FEW_BYTES;
                received += chunk;
                remaining -= chunk;
                if (remaining == 0) break;
                if (!keptFirst) {
                    first = answer;
                    keptFirst = true;
                }
                result = ReadAnswerMessage();
                if (result != VT5_OK) return result;
            }
            // The rest of the entries belong to the answer that announced the data.
            if (keptFirst) answer = first;
        }
    }
    bulkReceived = bulkAnnounced;
    return VT5_OK;
}

int32_t CVT5Api::Exchange() {
    int32_t result = SendCommand();
    return result != VT5_OK ? result : ReceiveAnswer();
}

const uint8_t* CVT5Api::FindAnswerParam(uint8_t id) const {
    for (int pos = kHeader; answer.length - pos >= 2;) {
        const uint8_t* entry = answer.bytes + pos;
        if (entry[0] == 0) return nullptr;
        // Never hand out a value that reaches past the answer.
        if (pos + 2 + entry[1] > answer.length) return nullptr;
        if (entry[0] == id) return entry;
        pos += 2 + entry[1];
    }
    return nullptr;
}
