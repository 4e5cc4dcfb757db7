#pragma once

#include <cstdint>
#include <map>

// Parameter id -> value size, for one command of the HC's supported-command table.
using VT5ParamSizes = std::map<uint8_t, uint8_t>;
// Command code -> its parameters: what the HC's firmware accepts, read at the handshake.
using VT5CommandTable = std::map<uint8_t, VT5ParamSizes>;

// Largest command or answer message, terminator and header included.
constexpr int VT5_MSG_SIZE = 528;

// Command codes of the protocol.
constexpr uint8_t VT5_CMD_IDENTITY = 0xF8;
constexpr uint8_t VT5_CMD_BOOT_SYSTEM_CHANGE = 0xFA;
constexpr uint8_t VT5_CMD_SYSTEM_CHANGE = 0x51;

// Special parameter ids.
constexpr uint8_t VT5_PARAM_BULK_SIZE = 0xFC;
constexpr uint8_t VT5_PARAM_BULK_FOLLOWS = 0xFD;
constexpr uint8_t VT5_PARAM_BULK_ON_LINK = 0xFE;
constexpr uint8_t VT5_TERMINATOR = 0xFF;

// First byte of an asynchronous message.
constexpr uint8_t VT5_ASYNC_ID = 0xFB;

// Lock section keys of the command families.
constexpr uint16_t VT5_SECTION_NONE = 0;
constexpr uint16_t VT5_SECTION_FS = 62748;    // 0xF51C
constexpr uint16_t VT5_SECTION_CTRL = 51073;  // 0xC781, firmware update and camera access
constexpr uint16_t VT5_SECTION_ESKY = 23156;  // 0x5A74, camera emulation

// A message buffer: the command being built, or the last answer read.
struct CVT5Msg {
    uint8_t counter = 1;  // next counter to send (command message only)
    uint8_t bytes[VT5_MSG_SIZE] = {};
    uint16_t length = 0;
    uint16_t parsePos = 0;
    int32_t tableCheck = 1;
    const VT5CommandTable* table = nullptr;
    const VT5ParamSizes* currentCommand = nullptr;
    const uint8_t* bulkData = nullptr;  // command: bytes to send after the message
    int32_t bulkSize = 0;

    // Copies what fits; 0, or 204 when not everything fitted.
    int32_t AppendBytes(const void* data, int32_t count);
    int32_t AppendByte(uint8_t value) { return AppendBytes(&value, 1); }
    // The counter that follows `counter`: 1 to 239, round and round.
    static uint8_t NextCounter(uint8_t counter) { return counter >= 239 ? 1 : counter + 1; }
};
