// The TCP client side of the link object: a program's link in Client mode talks to an API
// server with the wire protocol of wire.h.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "vt5api/api/vt5_errors.h"
#include "vt5api/link/tcp_socket.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/link/wire.h"

namespace {

constexpr uint32_t kMaxAnswer = 1u << 20;

// The client result of an error answer code.
int32_t ErrorAnswerResult(uint16_t code) {
    switch (code) {
        case VT5_WERR_TRANSFER:
            return VT5_E_COMMUNICATION;
        case VT5_WERR_LOCK:
            return VT5_E_LOCK;
        case VT5_WERR_NO_DEVICE:
            return VT5_E_NO_LINK;
        default:
            return VT5_E_PROTOCOL;
    }
}

}  // namespace

int32_t CVT5Link::SocketFailure() {
    return lastSocketError_ == 13 ? VT5_E_SERVER_CLOSED : VT5_E_TCP;
}

int32_t CVT5Link::ConnectToServer(const char* host, int32_t port, const char* applicationId) {
    if (mode_ == VT5_MODE_SERVER) return VT5_E_WRONG_MODE;
    socketsInitialised_ = true;  // POSIX sockets need no start-up
    if (clientSocket_) Disconnect();
    platform::UniqueFd fd = VT5ConnectTcp(host, port, lastSocketError_);
    if (!fd) return VT5_E_CANT_CONNECT;
    clientSocket_ = std::move(fd);
    mode_ = VT5_MODE_CLIENT;

    uint32_t length = 0;
    int32_t result = ControlRequest(VT5_REQ_SERVER_VERSION, nullptr, 0, length);
    if (result != VT5_OK) return result;
    if (length < 10) return VT5_E_PROTOCOL;
    if (applicationId) {
        uint8_t record[32] = {29};
        std::memcpy(record + 1, applicationId, std::min<size_t>(std::strlen(applicationId), 31));
        result = ControlRequest(VT5_REQ_APPLICATION_ID, record, sizeof record, length);
        if (result != VT5_OK) return result;
    }
    return VT5_OK;
}

void CVT5Link::AttachClientSocket(platform::UniqueFd socket) {
    socketsInitialised_ = true;
    clientSocket_ = std::move(socket);
    mode_ = VT5_MODE_CLIENT;
}

int32_t CVT5Link::Disconnect() {
    if (mode_ == VT5_MODE_DIRECT) return VT5_OK;
    if (mode_ == VT5_MODE_SERVER) return VT5_E_WRONG_MODE;
    if (!socketsInitialised_) return VT5_E_TCP_INIT;
    clientSocket_.reset();
    mode_ = VT5_MODE_DIRECT;
    return VT5_OK;
}

int32_t CVT5Link::SendRequest(uint16_t code, const void* payload, size_t size) {
    if (!VT5SendMessage(clientSocket_.get(), VT5WireControlId(code), payload, size,
                        lastSocketError_)) {
        int32_t result = SocketFailure();
        Disconnect();
        return result;
    }
    return VT5_OK;
}

int32_t CVT5Link::ReceiveAnswerMessage(uint32_t& identifier, uint32_t& length) {
    uint8_t header[8];
    long got = VT5RecvExactly(clientSocket_.get(), header, 8, lastSocketError_);
    if (got < 0) return SocketFailure();
    if (got < 8) return VT5_E_TCP;
    length = VT5GetU32(header);
    identifier = VT5GetU32(header + 4);
    if (length < 8) return VT5_E_TCP;
    // No answer of the protocol comes near this; a server that announces more is treated as
    // one we have no memory for rather than trusted with gigabytes.
    if (length > kMaxAnswer) return VT5_E_OUT_OF_MEMORY;
    if (length > receiveBuffer_.size()) {
        try {
            receiveBuffer_.assign(length, 0);
        } catch (const std::bad_alloc&) {
            return VT5_E_OUT_OF_MEMORY;
        }
    }
    std::memcpy(receiveBuffer_.data(), header, 8);
    if (length > 8) {
        got = VT5RecvExactly(clientSocket_.get(), receiveBuffer_.data() + 8, length - 8,
                             lastSocketError_);
        if (got < 0) return SocketFailure();
        if (static_cast<uint32_t>(got) < length - 8) return VT5_E_TCP;
    }
    if (identifier == VT5_WIRE_ERROR) {
        uint16_t code = length >= 10 ? VT5GetU16(receiveBuffer_.data() + 8) : 0;
        if (code == VT5_WERR_TRANSFER) {
            if (length >= 14) lastStatus_ = VT5GetU32(receiveBuffer_.data() + 10);
            SetFormattedError("(not available for Client)");
        }
        return length >= 10 ? ErrorAnswerResult(code) : VT5_E_PROTOCOL;
    }
    return VT5_OK;
}

// Sends a control request and receives its answer, which must carry the request's
// identifier (303 otherwise).
int32_t CVT5Link::ControlRequest(uint16_t code, const void* payload, size_t size,
                                 uint32_t& length) {
    if (!clientSocket_) return VT5_E_NOT_CONNECTED;
    int32_t result = SendRequest(code, payload, size);
    if (result != VT5_OK) return result;
    uint32_t identifier = 0;
    result = ReceiveAnswerMessage(identifier, length);
    if (result != VT5_OK) return result;
    return identifier == VT5WireControlId(code) ? VT5_OK : VT5_E_PROTOCOL;
}

int32_t CVT5Link::ClientWrite(const void* data, int32_t length) {
    if (!clientSocket_) {
        SetPlainError("Socket not connected in Write()");
        return 0;
    }
    if (length <= 0) {
        SetPlainError("0 bytes to write");
        return 0;
    }
    // Header and bytes in one send: with Nagle's algorithm on, a second small send waits for
    // the server's delayed acknowledgement of the first, some 40 ms on every command.
    uint32_t identifier = 0, answerLength = 0;
    if (!VT5SendMessage(clientSocket_.get(), VT5_WIRE_DATA_WRITE, data, static_cast<size_t>(length),
                        lastSocketError_) ||
        ReceiveAnswerMessage(identifier, answerLength) != VT5_OK ||
        identifier != VT5_WIRE_DATA_WRITE) {
        Disconnect();
        return 0;
    }
    return length;
}

int32_t CVT5Link::ClientRead(void* buffer, int32_t length, int32_t* relayedChunks) {
    if (!clientSocket_) {
        SetPlainError("Socket not connected in Read()");
        return 0;
    }
    if (length <= 0) {
        SetPlainError("0 bytes to be read");
        return 0;
    }
    uint8_t request[12];
    VT5PutU32(request, 12);
    VT5PutU32(request + 4, VT5_WIRE_DATA_READ);
    VT5PutU32(request + 8, static_cast<uint32_t>(length));
    if (relayedChunks) *relayedChunks = 0;
    auto fail = [this] {
        Disconnect();
        return 0;
    };
    if (!VT5SendAll(clientSocket_.get(), request, 12, lastSocketError_)) return fail();
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t copied = 0;
    for (;;) {
        uint32_t identifier = 0, chunkLength = 0;
        if (ReceiveAnswerMessage(identifier, chunkLength) != VT5_OK) return fail();
        if (identifier != VT5_WIRE_DATA_READ || chunkLength < 12) return fail();
        const uint8_t* chunk = receiveBuffer_.data();
        if (relayedChunks) *relayedChunks += VT5GetU16(chunk + 8) & 1;
        uint16_t last = VT5GetU16(chunk + 10);
        if (last != 0 && last != 0xFFFF) return fail();
        int32_t n = std::min(static_cast<int32_t>(chunkLength - 12), length - copied);
        if (n > 0) {
            if (out) std::memcpy(out + copied, chunk + 12, static_cast<size_t>(n));
            copied += n;
        }
        if (last == 0xFFFF) break;
    }
    return copied;
}

const char* CVT5Link::ClientQuery(uint16_t code, char* dest, size_t destSize, size_t maxCopy,
                                  const char* operation) {
    if (!clientSocket_) {
        char text[96];
        std::snprintf(text, sizeof text, "Socket not connected in %s", operation);
        SetPlainError(text);
        return "";
    }
    uint32_t length = 0;
    if (ControlRequest(code, nullptr, 0, length) != VT5_OK || length < 9) {
        Disconnect();
        return "";
    }
    std::memset(dest, 0, destSize);
    std::memcpy(dest, receiveBuffer_.data() + 8, std::min<size_t>(length - 8, maxCopy));
    return dest;
}

int32_t CVT5Link::ClientSetTimeouts(int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                                    int32_t* prevWriteMs) {
    if (!clientSocket_) {
        SetPlainError("Socket not connected in SetTimeouts(..)");
        return 1;
    }
    uint8_t payload[4];
    VT5PutU16(payload, readMs < 0 ? 0xFFFF : static_cast<uint16_t>(readMs));
    VT5PutU16(payload + 2, writeMs < 0 ? 0xFFFF : static_cast<uint16_t>(writeMs));
    if (SendRequest(VT5_REQ_SET_TIMEOUTS, payload, 4) != VT5_OK) return 1;
    uint32_t identifier = 0, length = 0;
    if (ReceiveAnswerMessage(identifier, length) != VT5_OK ||
        identifier != VT5WireControlId(VT5_REQ_SET_TIMEOUTS)) {
        Disconnect();
        return 1;
    }
    if (length < 12) return 1;
    if (prevReadMs) *prevReadMs = VT5GetU16(receiveBuffer_.data() + 8);
    if (prevWriteMs) *prevWriteMs = VT5GetU16(receiveBuffer_.data() + 10);
    return 0;
}

int32_t CVT5Link::QueryReadBufLen(int32_t* count) {
    if (mode_ != VT5_MODE_CLIENT) {
        int32_t n = QueryReadBufLen();
        if (count) *count = n;
        return VT5_OK;
    }
    uint32_t length = 0;
    int32_t result = ControlRequest(VT5_REQ_QUERY_READ_BUF_LEN, nullptr, 0, length);
    if (result != VT5_OK) return result;
    if (length != 10) return VT5_E_PROTOCOL;
    if (count) *count = VT5GetU16(receiveBuffer_.data() + 8);
    return VT5_OK;
}

int32_t CVT5Link::OpenDevice(uint16_t* modeWord, uint16_t* protocolVersion, uint16_t* secondWord,
                             std::vector<uint8_t>* table) {
    if (!clientSocket_) return VT5_E_NOT_CONNECTED;
    int32_t result = SendRequest(VT5_REQ_OPEN_DEVICE, nullptr, 0);
    if (result != VT5_OK) return result;
    uint32_t identifier = 0, length = 0;
    result = ReceiveAnswerMessage(identifier, length);
    if (result != VT5_OK) return result;
    // Any identifier of a control answer will do here.
    if ((identifier & 0xFFFF) != VT5_WIRE_CONTROL || length < 16) return VT5_E_PROTOCOL;
    const uint8_t* p = receiveBuffer_.data() + 8;
    uint16_t mode = VT5GetU16(p);
    uint16_t n = VT5GetU16(p + 6);
    if (n > length - 16) return VT5_E_PROTOCOL;
    if (mode == VT5_MODE_WORD_FAILED)
        return static_cast<int32_t>(uint32_t(VT5GetU16(p + 4)) << 16 | VT5GetU16(p + 2));
    if (modeWord) *modeWord = mode;
    if (protocolVersion) *protocolVersion = VT5GetU16(p + 2);
    if (secondWord) *secondWord = VT5GetU16(p + 4);
    if (table) {
        try {
            table->assign(p + 8, p + 8 + n);
        } catch (const std::bad_alloc&) {
            return VT5_E_OUT_OF_MEMORY;
        }
    }
    return VT5_OK;
}

int32_t CVT5Link::SystemChange(uint8_t type) {
    uint32_t length = 0;
    int32_t result = ControlRequest(VT5_REQ_SYSTEM_CHANGE, &type, 1, length);
    if (result != VT5_OK) return result;
    if (length < 12) return VT5_E_PROTOCOL;
    return static_cast<int32_t>(VT5GetU32(receiveBuffer_.data() + 8));
}

int32_t CVT5Link::LinePulse(uint8_t line, int32_t ms) {
    if (!clientSocket_) return VT5_E_NOT_CONNECTED;
    ms = std::clamp(ms, 0, 65535);
    uint8_t payload[3] = {line, uint8_t(ms), uint8_t(ms >> 8)};
    int32_t result = SendRequest(VT5_REQ_LINE_PULSE, payload, 3);
    if (result != VT5_OK) return result;
    // The answer comes after the pulse: wait for it that much longer.
    int32_t previous = VT5GetReceiveTimeout(clientSocket_.get());
    if (previous < 0 || !VT5SetReceiveTimeout(clientSocket_.get(), ms + 5000)) return VT5_E_TCP;
    uint32_t identifier = 0, length = 0;
    result = ReceiveAnswerMessage(identifier, length);
    if (!VT5SetReceiveTimeout(clientSocket_.get(), previous) && result == VT5_OK)
        result = VT5_E_TCP;
    if (result != VT5_OK) return result;
    if (identifier != VT5WireControlId(VT5_REQ_LINE_PULSE) || length < 12) return VT5_E_PROTOCOL;
    return static_cast<int32_t>(VT5GetU32(receiveBuffer_.data() + 8));
}

int32_t CVT5Link::AsyncRelay(const uint8_t* bytes, int32_t count) {
    uint32_t length = 0;
    int32_t result = ControlRequest(VT5_REQ_ASYNC_RELAY, bytes, static_cast<size_t>(count), length);
    if (result != VT5_OK) return result;
    return length == 8 ? VT5_OK : VT5_E_PROTOCOL;
}

int32_t CVT5Link::LockRequest(uint16_t code, uint16_t sectionCode) {
    uint8_t payload[2];
    VT5PutU16(payload, sectionCode);
    uint32_t length = 0;
    int32_t result = ControlRequest(code, payload, 2, length);
    if (result != VT5_OK) return result;
    return length == 8 ? VT5_OK : VT5_E_PROTOCOL;
}

int32_t CVT5Link::Lock(uint16_t sectionCode) {
    return LockRequest(VT5_REQ_LOCK, sectionCode);
}

int32_t CVT5Link::Unlock(uint16_t sectionCode) {
    return LockRequest(VT5_REQ_UNLOCK, sectionCode);
}
