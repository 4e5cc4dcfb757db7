// Serving one request of a client of the API server: reading it, carrying it out on the HC
// and answering it. A handler returns false when the client must be removed.

#include <algorithm>
#include <cstring>
#include <vector>

#include "vt5api/api/vt5_errors.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"
#include "vt5api/link/tcp_socket.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/link/vt5link_server.h"

namespace {

// The longest AsyncRelay payload taken in; real ones are a few five-byte messages.
constexpr uint32_t kMaxRelayPayload = 64 * 1024;
constexpr uint32_t kMaxApplicationIdPayload = 48;

// Classifies relayed asynchronous messages as the API context does with the ones it reads:
// 12 mode changed, 13 powered off, 14 unknown (and 14 stays once seen).
int32_t ClassifyAsync(const uint8_t* bytes, size_t count) {
    int32_t code = 0;
    for (size_t pos = 0; pos < count; pos += 5) {
        int32_t c = VT5_E_UNKNOWN_ASYNC;
        if (count - pos >= 5 && bytes[pos] == VT5_ASYNC_ID && VT5GetU16(bytes + pos + 3) == 5) {
            uint8_t a = bytes[pos + 1];
            if (a == 0xAA || a == 0xB7) c = VT5_E_MODE_CHANGED;
            if (a == 0x36) c = VT5_E_POWERED_OFF;
        }
        if (code != VT5_E_UNKNOWN_ASYNC) code = c;
    }
    return code ? code : VT5_E_UNKNOWN_ASYNC;
}

}  // namespace

class VT5ServerRequest {
public:
    VT5ServerRequest(CVT5Link& link, int client)
        : link_(link),
          s_(*link.server_),
          client_(client),
          record_(*s_.clients[static_cast<size_t>(client)]),
          fd_(record_.socket.get()) {}

    // Serves the client's whole request (assembled beforehand): 0 when the client stays, -1
    // when it was removed.
    int Serve() {
        if (record_.request.size() < 4) return Drop();
        uint32_t length = VT5GetU32(record_.request.data());
        if (length < 8 || record_.request.size() < 8) return Drop();
        uint32_t identifier = VT5GetU32(record_.request.data() + 4);
        position_ = 8;
        if (s_.lockHolder == client_) s_.lockTimer = platform::now();
        if (!Dispatch(identifier, length - 8)) return Drop();
        record_.NextRequest();
        return 0;
    }

private:
    int Drop() {
        link_.RemoveClient(client_, "connection closed or request failed");
        return -1;
    }

    // The next bytes of the request a handler reads.
    bool Receive(void* data, size_t count) {
        if (count > record_.request.size() - position_) return false;
        std::memcpy(data, record_.request.data() + position_, count);
        position_ += count;
        return true;
    }

    // Payload the handler does not use: it has arrived and is thrown away.
    bool Discard(size_t count) {
        position_ += count;
        return true;
    }

    // Reads the `need` bytes a handler uses into dest and discards the surplus.
    bool ReadPayload(uint32_t payload, void* dest, uint32_t need) {
        return payload >= need && Receive(dest, need) && Discard(payload - need);
    }

    bool Send(const void* data, size_t count) {
        int errorClass = 0;
        return VT5SendAll(fd_, data, count, errorClass);
    }

    bool Answer(uint32_t identifier, const void* payload = nullptr, size_t size = 0) {
        int errorClass = 0;
        return VT5SendMessage(fd_, identifier, payload, size, errorClass);
    }

    bool ErrorAnswer(uint16_t code, bool withStatus = false) {
        uint8_t payload[6];
        VT5PutU16(payload, code);
        VT5PutU32(payload + 2, link_.LastDriverStatus());
        return Answer(VT5_WIRE_ERROR, payload, withStatus ? 6 : 2);
    }

    bool Dispatch(uint32_t identifier, uint32_t payload) {
        if (identifier == VT5_WIRE_DATA_WRITE) return DataWrite(payload);
        if (identifier == VT5_WIRE_DATA_READ) return DataRead(payload);
        if ((identifier & 0xFFFF) != VT5_WIRE_CONTROL) return true;  // unknown: no answer
        switch (static_cast<uint16_t>(identifier >> 16)) {
            case VT5_REQ_SERVER_VERSION:
                return Discard(payload) && AnswerU16(identifier, VT5_API_VERSION);
            case VT5_REQ_OPEN_DEVICE:
                return Discard(payload) && OpenDevice(identifier);
            case VT5_REQ_QUERY_SERIAL:
                return Discard(payload) && AnswerText(identifier, link_.QuerySerial(), 8);
            case VT5_REQ_QUERY_DESCR:
                return Discard(payload) && AnswerText(identifier, link_.QueryDescr(), 64);
            case VT5_REQ_LINE_PULSE:
                return LinePulse(identifier, payload);
            case VT5_REQ_ASYNC_RELAY:
                return AsyncRelay(identifier, payload);
            case VT5_REQ_SET_TIMEOUTS:
                return SetTimeouts(identifier, payload);
            case VT5_REQ_UNLOCK:
                return Unlock(identifier, payload);
            case VT5_REQ_QUERY_READ_BUF_LEN:
                return Discard(payload) && QueryReadBufLen(identifier);
            case VT5_REQ_LOCK:
                return Lock(identifier, payload);
            case VT5_REQ_SYSTEM_CHANGE:
                return SystemChange(identifier, payload);
            case VT5_REQ_APPLICATION_ID:
                return ApplicationId(identifier, payload);
            default:
                return true;  // unknown request code: no answer, payload left unread
        }
    }

    bool AnswerU16(uint32_t identifier, uint16_t value) {
        uint8_t p[2];
        VT5PutU16(p, value);
        return Answer(identifier, p, 2);
    }

    bool AnswerU32(uint32_t identifier, uint32_t value) {
        uint8_t p[4];
        VT5PutU32(p, value);
        return Answer(identifier, p, 4);
    }

    bool AnswerText(uint32_t identifier, const char* text, size_t size) {
        char field[64] = {};
        std::memcpy(field, text, strnlen(text, size));
        return Answer(identifier, field, size);
    }

    // A transfer with the HC failed: the error answer with the driver's status; an HC that
    // vanished is let go, so that the next OpenDevice opens it again.
    bool TransferFailed() {
        bool answered = ErrorAnswer(VT5_WERR_TRANSFER, true);
        link_.LetDeviceGoIfGone();
        return answered;
    }

    // A new exchange begins: whatever the HC has pending is left over from a broken one.
    void CheckLineQuiet() {
        if (link_.handle_ && link_.QueryReadBufLen() > 0) link_.MarkOutOfStep();
    }

    void DiscardPending() {
        link_.ServerLog("discarding what the HC sent for nobody before client %s's request",
                        record_.Peer().c_str());
        if (link_.DiscardPending() != 0) link_.LetDeviceGoIfGone();
    }

    bool DataWrite(uint32_t payload) {
        if (payload > VT5_MAX_WRITE_PAYLOAD) return false;
        if (!link_.handle_) return Discard(payload) && ErrorAnswer(VT5_WERR_NO_DEVICE);
        // Bytes the HC still sends when another client's turn begins without the lock are
        // nobody's answer (with the lock, Lock has looked already).
        if (s_.lastHcUser != record_.id && s_.lockHolder != client_) CheckLineQuiet();
        if (link_.OutOfStep()) DiscardPending();
        s_.lastHcUser = record_.id;
        record_.awaitingAnswer = true;
        while (payload > 0) {
            uint32_t piece = std::min<uint32_t>(payload, VT5_FORWARD_BUFFER);
            if (!Receive(s_.forward, piece)) return false;
            payload -= piece;
            if (link_.Write(s_.forward, static_cast<int32_t>(piece)) != static_cast<int32_t>(piece))
                return TransferFailed();
        }
        return Answer(VT5_WIRE_DATA_WRITE);
    }

    bool DataRead(uint32_t payload) {
        if (payload != 4) return Answer(VT5_WIRE_DATA_READ);
        uint8_t n[4];
        if (!Receive(n, 4)) return false;
        int32_t remaining = static_cast<int32_t>(VT5GetU32(n));
        if (remaining > 0) record_.awaitingAnswer = false;
        bool relayed = false;
        while (remaining > 0) {
            int32_t piece = std::min(remaining, VT5_READ_CHUNK);
            uint8_t* data = s_.forward + 12;
            int32_t fromQueue =
                std::min<int32_t>(piece, static_cast<int32_t>(record_.relayQueue.size()));
            std::copy_n(record_.relayQueue.begin(), fromQueue, data);
            record_.relayQueue.erase(record_.relayQueue.begin(),
                                     record_.relayQueue.begin() + fromQueue);
            relayed = relayed || fromQueue > 0;
            int32_t missing = piece - fromQueue;
            if (missing > 0) {
                if (!link_.handle_) return ErrorAnswer(VT5_WERR_NO_DEVICE);
                if (link_.Read(data + fromQueue, missing) < missing) return TransferFailed();
            }
            remaining -= piece;
            VT5PutU32(s_.forward, static_cast<uint32_t>(12 + piece));
            VT5PutU32(s_.forward + 4, VT5_WIRE_DATA_READ);
            VT5PutU16(s_.forward + 8, relayed ? 1 : 0);
            VT5PutU16(s_.forward + 10, remaining == 0 ? 0xFFFF : 0);
            if (!Send(s_.forward, static_cast<size_t>(12 + piece))) return false;
        }
        return true;
    }

    bool OpenDevice(uint32_t identifier) {
        CVT5Api* api = link_.ApiContext();
        if (!api) return false;
        uint8_t head[8] = {};
        link_.LetDeviceGoIfGone();
        if (!link_.handle_) {
            const char* serial = s_.servedSerial[0] ? s_.servedSerial : nullptr;
            int32_t result = VT5_Open(api, serial, nullptr, 0, nullptr);
            if (result != VT5_OK) {
                VT5PutU16(head, VT5_MODE_WORD_FAILED);
                VT5PutU16(head + 2, static_cast<uint16_t>(result));
                VT5PutU16(head + 4, static_cast<uint16_t>(static_cast<uint32_t>(result) >> 16));
                return Answer(identifier, head, 8);
            }
        }
        const std::vector<uint8_t>& table = link_.CommandTable();
        std::vector<uint8_t> payload(8 + table.size());
        VT5PutU16(payload.data(), link_.BootFlagCopy() ? VT5_MODE_WORD_BOOT : 0);
        VT5PutU16(payload.data() + 2, static_cast<uint16_t>(link_.ProtocolVersionCopy()));
        VT5PutU16(payload.data() + 4, static_cast<uint16_t>(link_.SecondProtocolWordCopy()));
        VT5PutU16(payload.data() + 6, static_cast<uint16_t>(table.size()));
        std::copy(table.begin(), table.end(), payload.begin() + 8);
        return Answer(identifier, payload.data(), payload.size());
    }

    bool LinePulse(uint32_t identifier, uint32_t payload) {
        uint8_t p[3];
        CVT5Api* api = link_.ApiContext();
        if (!api || !ReadPayload(payload, p, 3)) return false;
        int32_t ms = VT5GetU16(p + 1);
        int32_t result = p[0] == VT5_LINE_ESC ? VT5_ESC_control(api, ms, nullptr, 0)
                                              : VT5_RESET_control(api, ms, nullptr, 0);
        return AnswerU32(identifier, static_cast<uint32_t>(result));
    }

    bool SetTimeouts(uint32_t identifier, uint32_t payload) {
        uint8_t p[4];
        CVT5Api* api = link_.ApiContext();
        if (!api || !ReadPayload(payload, p, 4)) return false;
        // 0 would let the driver wait for ever, and one client's read would stop the server
        // for everybody: it becomes the longest finite time-out instead.
        auto value = [](uint16_t v) {
            return v == 0xFFFF ? -1 : v == 0 ? VT5_LONGEST_SERVER_TIMEOUT_MS : int32_t(v);
        };
        int32_t prevRead = 0, prevWrite = 0;
        uint8_t answer[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        if (VT5_SetTimeouts(api, value(VT5GetU16(p)), value(VT5GetU16(p + 2)), &prevRead,
                            &prevWrite) == VT5_OK) {
            VT5PutU16(answer, static_cast<uint16_t>(prevRead));
            VT5PutU16(answer + 2, static_cast<uint16_t>(prevWrite));
        }
        return Answer(identifier, answer, 4);
    }

    bool QueryReadBufLen(uint32_t identifier) {
        CVT5Api* api = link_.ApiContext();
        link_.LetDeviceGoIfGone();
        if (link_.handle_ && api) {
            int32_t result = api->DirectConnect(nullptr);
            if (result == VT5_E_UNKNOWN_ASYNC) return ErrorAnswer(VT5_WERR_UNKNOWN_ASYNC);
            if (result != VT5_OK && result != VT5_E_MODE_CHANGED && result != VT5_E_POWERED_OFF)
                return ErrorAnswer(VT5_WERR_TRANSFER);
        }
        size_t queued = std::min<size_t>(record_.relayQueue.size(), 0xFFFF);
        return AnswerU16(identifier, static_cast<uint16_t>(queued));
    }

    bool SystemChange(uint32_t identifier, uint32_t payload) {
        uint8_t type = 0;
        CVT5Api* api = link_.ApiContext();
        if (!api || !ReadPayload(payload, &type, 1)) return false;
        int32_t result = VT5cmd_SystemChange(api, type);
        record_.relayQueue.clear();
        return AnswerU32(identifier, static_cast<uint32_t>(result));
    }

    bool ApplicationId(uint32_t identifier, uint32_t payload) {
        if (payload == 0 || payload > kMaxApplicationIdPayload || payload % 32 != 0) return false;
        uint8_t records[kMaxApplicationIdPayload];
        if (!Receive(records, payload)) return false;
        for (uint32_t pos = 0; pos < payload; pos += 32) {
            if (records[pos] != 29 || records[pos + 1] == 0) return false;
            std::memset(record_.applicationId, 0, sizeof record_.applicationId);
            std::memcpy(record_.applicationId, records + pos + 1, 31);
        }
        return Answer(identifier);
    }

    bool Lock(uint32_t identifier, uint32_t payload) {
        uint8_t p[2];
        if (!ReadPayload(payload, p, 2)) return false;
        int section = VT5SectionOf(VT5GetU16(p));
        bool ownedByOther =
            section >= 0 && s_.sectionOwners[section] >= 0 && s_.sectionOwners[section] != client_;
        bool granted = false;
        if (s_.lockHolder < 0) {
            if (!ownedByOther) {
                if (section >= 0) s_.sectionOwners[section] = client_;
                s_.lockHolder = client_;
                s_.lockDepth = 1;
                granted = true;
                CheckLineQuiet();
            }
        } else if (s_.lockHolder == client_) {
            if (!ownedByOther) {
                ++s_.lockDepth;
                granted = true;
            }
        }
        if (!granted) return ErrorAnswer(VT5_WERR_LOCK);
        s_.lockTimer = platform::now();
        return Answer(identifier);
    }

    bool Unlock(uint32_t identifier, uint32_t payload) {
        uint8_t p[2];
        if (!ReadPayload(payload, p, 2)) return false;
        int section = VT5SectionOf(VT5GetU16(p));
        bool released = false;
        if (section >= 0 && s_.sectionOwners[section] == client_) {
            s_.sectionOwners[section] = -1;
            released = true;
        }
        if (s_.lockHolder >= 0) {
            if (s_.lockHolder != client_ && !released) return ErrorAnswer(VT5_WERR_LOCK);
            if (--s_.lockDepth < 1) {
                s_.lockHolder = -1;
                s_.lockDepth = 0;
            }
        }
        return Answer(identifier);
    }

    bool AsyncRelay(uint32_t identifier, uint32_t payload) {
        CVT5Api* api = link_.ApiContext();
        if (!api || payload == 0 || payload > kMaxRelayPayload) return false;
        std::vector<uint8_t> bytes(payload);
        if (!Receive(bytes.data(), payload)) return false;
        link_.Broadcast(bytes.data(), static_cast<int32_t>(payload), client_);
        int32_t code = ClassifyAsync(bytes.data(), bytes.size());
        if (api->ReactToAsync(code) != code) return ErrorAnswer(VT5_WERR_TRANSFER);
        return Answer(identifier);
    }

    CVT5Link& link_;
    VT5ServerState& s_;
    int client_;
    VT5ServerClientRecord& record_;
    int fd_;
    size_t position_ = 0;
};

VT5RequestShape VT5ShapeOfRequest(const uint8_t header[8]) {
    uint32_t length = VT5GetU32(header);
    uint32_t identifier = VT5GetU32(header + 4);
    uint32_t payload = length - 8;
    VT5RequestShape whole{length, length};
    VT5RequestShape headerOnly{8, 8};
    // The payload bytes a handler uses; the rest of the payload is surplus.
    auto using_ = [&](uint32_t need) {
        return payload < need ? headerOnly : VT5RequestShape{length, 8 + need};
    };
    if (identifier == VT5_WIRE_DATA_WRITE)
        return payload > VT5_MAX_WRITE_PAYLOAD ? headerOnly : whole;
    if (identifier == VT5_WIRE_DATA_READ) return payload == 4 ? whole : headerOnly;
    if ((identifier & 0xFFFF) != VT5_WIRE_CONTROL) return headerOnly;
    switch (static_cast<uint16_t>(identifier >> 16)) {
        case VT5_REQ_SERVER_VERSION:
        case VT5_REQ_OPEN_DEVICE:
        case VT5_REQ_QUERY_SERIAL:
        case VT5_REQ_QUERY_DESCR:
        case VT5_REQ_QUERY_READ_BUF_LEN:
            return using_(0);
        case VT5_REQ_LINE_PULSE:
            return using_(3);
        case VT5_REQ_SET_TIMEOUTS:
            return using_(4);
        case VT5_REQ_UNLOCK:
        case VT5_REQ_LOCK:
            return using_(2);
        case VT5_REQ_SYSTEM_CHANGE:
            return using_(1);
        case VT5_REQ_ASYNC_RELAY:
            return payload == 0 || payload > kMaxRelayPayload ? headerOnly : whole;
        case VT5_REQ_APPLICATION_ID:
            return payload == 0 || payload > kMaxApplicationIdPayload || payload % 32 != 0
                       ? headerOnly
                       : whole;
        default:
            return headerOnly;  // unknown: the payload is the next request
    }
}

int VT5ServeRequest(CVT5Link& link, int client) {
    return VT5ServerRequest(link, client).Serve();
}
