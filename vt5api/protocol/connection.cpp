// Connecting to the HC: the direct connection step and the handshake.

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/clock/clock.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/protocol/command_table.h"

int32_t CVT5Api::DirectConnect(const char* serialArg) {
    // What is left of a broken or half-read answer would pass for the next one, or for a
    // message of the HC's own.
    if (bulkOnLink > 0) link->MarkOutOfStep();
    bulkOnLink = 0;
    if (link->IsOpen() && link->OutOfStep() && link->DiscardPending() != 0)
        return VT5_E_COMMUNICATION;
    if (link->IsOpen() && link->QueryReadBufLen() > 0) {
        int32_t result = ReadAnswerMessage();
        if (result != VT5_OK) {
            if (link->Mode() != VT5_MODE_SERVER) return result;
            // The server passes the HC's messages on to all its clients; a stale answer that
            // nobody waited for is no message, and in their streams it would pass for the
            // start of their next answer.
            if (answer.length > 0 && answer.bytes[0] == VT5_ASYNC_ID)
                link->Broadcast(answer.bytes, std::min<int32_t>(10, answer.length), -1);
            if (result == VT5_E_POWERED_OFF || result == VT5_E_UNKNOWN_ASYNC) return result;
        }
    }
    if (reconnectDelay > 0) {
        platform::sleepMs(reconnectDelay);
        reconnectDelay = 0;
        protocolVersion = -1;
    }
    if (!link->IsOpen()) {
        if (link->Open(serialArg) != 0) return VT5_E_CANNOT_OPEN;
        bool resync = firstConnection != 0;
        int32_t setup = link->SetupLineForHC(resync, [this] {
            ResetProtocolState();
            firstConnection = 0;
        });
        if (setup != 0) return VT5_E_COMMUNICATION;
        receivedBlocks.clear();
        reconnectDelay = 0;
        protocolVersion = -1;
    }
    if (protocolVersion >= 0) return VT5_OK;
    return Handshake();
}

int32_t CVT5Api::ClientConnect() {
    if (link->HasClientSocket()) {
        int32_t waiting = 0;
        int32_t result = link->QueryReadBufLen(&waiting);
        if (result == VT5_OK && waiting > 0) result = ReadAnswerMessage();
        if (result != VT5_OK) {
            VT5_Close(this);
            return result;
        }
    }
    if (reconnectDelay > 0) {
        VT5_Close(this);
        platform::sleepMs(reconnectDelay);
        reconnectDelay = 0;
        protocolVersion = -1;
    }
    if (protocolVersion >= 0 || link->Mode() != VT5_MODE_CLIENT) return VT5_OK;
    uint16_t modeWord = 0, version = 0, second = 0;
    std::vector<uint8_t> table;
    int32_t result = link->OpenDevice(&modeWord, &version, &second, &table);
    if (result != VT5_OK) {
        VT5_Close(this);
        return result;
    }
    bootFlag = modeWord != 0 ? 1 : 0;
    protocolVersion = version;
    secondProtocolWord = second;
    if (!table.empty()) ParseCommandTable(table.data(), table.size(), commandTable);
    if (protocolVersion == 0 || table.empty()) {
        VT5_Close(this);
        return VT5_E_HANDSHAKE;
    }
    return VT5_OK;
}

namespace {

// The answer to F8 01 01 FF: F8 01 00 0B 00, parameter 0x01 (firmware) or 0x03 (BOOT), 4 bytes.
bool ProtocolAnswerOk(const uint8_t* b) {
    static const uint8_t head[5] = {0xF8, 0x01, 0x00, 0x0B, 0x00};
    return std::memcmp(b, head, 5) == 0 && b[6] == 4;
}

// The answer to F8 02 0A FF: F8 02 00 0F 00, 0A 00, FC 04 <size>, FD 00.
bool TableAnswerOk(const uint8_t* b) {
    static const uint8_t head[9] = {0xF8, 0x02, 0x00, 0x0F, 0x00, 0x0A, 0x00, 0xFC, 0x04};
    return std::memcmp(b, head, 9) == 0 && b[13] == 0xFD && b[14] == 0x00;
}

}  // namespace

int32_t CVT5Api::Handshake() {
    auto fail = [this](int32_t code) {
        if (code == VT5_E_HANDSHAKE) VT5_Close(this);
        return code;
    };
    int32_t result = VT5_OK;
    {
        ScopedLinkTimeouts timeouts(*link, 2000, 2000);
        result = [&]() -> int32_t {
            static const uint8_t askVersion[4] = {0xF8, 0x01, 0x01, 0xFF};
            if (link->Write(askVersion, 4) < 4) return VT5_E_COMMUNICATION;
            uint8_t v[11] = {};
            if (link->Read(v, 11) < 11 || !ProtocolAnswerOk(v)) return VT5_E_HANDSHAKE;
            bootFlag = v[5] == 0x03 ? 1 : 0;
            protocolVersion = v[7] | v[8] << 8;
            secondProtocolWord = v[9] | v[10] << 8;

            static const uint8_t askTable[4] = {0xF8, 0x02, 0x0A, 0xFF};
            if (link->Write(askTable, 4) < 4) return VT5_E_COMMUNICATION;
            uint8_t t[15] = {};
            if (link->Read(t, 15) < 15 || !TableAnswerOk(t)) return VT5_E_HANDSHAKE;
            uint32_t size = uint32_t(t[9]) | uint32_t(t[10]) << 8 | uint32_t(t[11]) << 16 |
                            uint32_t(t[12]) << 24;
            // No table can be longer than 255 commands with 255 parameters each.
            if (size > VT5_MAX_COMMAND_TABLE) return VT5_E_HANDSHAKE;
            std::vector<uint8_t> table;
            try {
                table.resize(size);
            } catch (const std::bad_alloc&) {
                return VT5_E_HANDSHAKE;
            }
            for (uint32_t done = 0; done < size;) {
                int32_t got = link->Read(table.data() + done, static_cast<int32_t>(size - done));
                if (got == 0) return VT5_E_HANDSHAKE;
                done += static_cast<uint32_t>(got);
            }
            ParseCommandTable(table.data(), table.size(), commandTable);
            link->SetHandshakeCopy(bootFlag, protocolVersion, secondProtocolWord, std::move(table));
            if (link->Mode() == VT5_MODE_SERVER) link->ResetAccessState();
            return VT5_OK;
        }();
        if (result == VT5_E_HANDSHAKE) protocolVersion = -1;
    }
    return fail(result);
}
