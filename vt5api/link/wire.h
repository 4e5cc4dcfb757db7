#pragma once

// The TCP wire protocol between client programs and the API server. Every message is an
// 8-byte header (u32 total length, header included; u32 identifier) and a payload; all
// integers little-endian.

#include <cstdint>

constexpr uint32_t VT5_WIRE_DATA_WRITE = 0xDA7A5555;
constexpr uint32_t VT5_WIRE_DATA_READ = 0x3D3DA7AD;
constexpr uint32_t VT5_WIRE_ERROR = 0x0E77C0DE;
constexpr uint16_t VT5_WIRE_CONTROL = 0x5C3D;  // low half of a control request's identifier

// Control request codes.
constexpr uint16_t VT5_REQ_SERVER_VERSION = 0x0001;
constexpr uint16_t VT5_REQ_OPEN_DEVICE = 0x005F;
constexpr uint16_t VT5_REQ_QUERY_SERIAL = 0x0F70;
constexpr uint16_t VT5_REQ_QUERY_DESCR = 0x0F7D;
constexpr uint16_t VT5_REQ_LINE_PULSE = 0x2409;
constexpr uint16_t VT5_REQ_ASYNC_RELAY = 0x3D62;
constexpr uint16_t VT5_REQ_SET_TIMEOUTS = 0x68AC;
constexpr uint16_t VT5_REQ_UNLOCK = 0x7E1E;
constexpr uint16_t VT5_REQ_QUERY_READ_BUF_LEN = 0x9E22;
constexpr uint16_t VT5_REQ_LOCK = 0xACCE;
constexpr uint16_t VT5_REQ_SYSTEM_CHANGE = 0xB044;
constexpr uint16_t VT5_REQ_APPLICATION_ID = 0xCADD;

constexpr uint32_t VT5WireControlId(uint16_t code) {
    return uint32_t(code) << 16 | VT5_WIRE_CONTROL;
}

// Error answer codes.
constexpr uint16_t VT5_WERR_TRANSFER = 0x33DB;
constexpr uint16_t VT5_WERR_LOCK = 0x4823;
constexpr uint16_t VT5_WERR_NO_DEVICE = 0xF7C4;
constexpr uint16_t VT5_WERR_UNKNOWN_ASYNC = 0x575E;

// Lines of LinePulse.
constexpr uint8_t VT5_LINE_ESC = 0;
constexpr uint8_t VT5_LINE_RESET = 15;

// Section codes of Lock and Unlock, and the sections they name.
constexpr int VT5_SECTION_COUNT = 3;     // CTRL, FS, ESKY
int VT5SectionOf(uint16_t sectionCode);  // 0, 1, 2, or -1 for none

// Identity answer mode words.
constexpr uint16_t VT5_MODE_WORD_BOOT = 0xFFFF;
constexpr uint16_t VT5_MODE_WORD_FAILED = 1234;

constexpr int32_t VT5_READ_CHUNK = 4096;
constexpr int32_t VT5_FORWARD_BUFFER = 4128;
constexpr int VT5_WATCH_SET_SIZE = 64;
constexpr int32_t VT5_LOCK_LIMIT_MS = 5000;
constexpr int32_t VT5_SOCKET_TIMEOUT_MS = 5000;

inline void VT5PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void VT5PutU32(uint8_t* p, uint32_t v) {
    VT5PutU16(p, uint16_t(v));
    VT5PutU16(p + 2, uint16_t(v >> 16));
}
inline uint16_t VT5GetU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t VT5GetU32(const uint8_t* p) {
    return uint32_t(VT5GetU16(p)) | uint32_t(VT5GetU16(p + 2)) << 16;
}
