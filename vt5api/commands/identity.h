#pragma once

// Identity, mode and power of the HC.

#include <cstdint>

#include "vt5api/api/vt5api.h"

// Device information record.
struct VT5DeviceInfo {
    char serial[9];
    char description[65];
    int32_t bootFlag;
    uint16_t protocolVersion;
    uint16_t secondProtocolWord;
    uint32_t chipId[2];  // low word first
    char uniqueId[17];   // zero bytes among the 16 characters read as spaces
    uint8_t hardwareId;
    char deviceText[33];  // 31 characters, a NUL, and one more NUL
};

// Parameters of the identity command 0xF8.
constexpr uint8_t VT5_ID_PROTOCOL = 0x01;
constexpr uint8_t VT5_ID_PROTOCOL_BOOT = 0x03;
constexpr uint8_t VT5_ID_COMMAND_TABLE = 0x0A;
constexpr uint8_t VT5_ID_UNIQUE = 0x10;
constexpr uint8_t VT5_ID_HARDWARE = 0x11;
constexpr uint8_t VT5_ID_DEVICE_TEXT = 0xD1;

// System change types.
constexpr int32_t VT5_SYSCHANGE_POWER_OFF = 0;
constexpr int32_t VT5_SYSCHANGE_MODE_1 = 1;
constexpr int32_t VT5_SYSCHANGE_MODE_2 = 2;

int32_t VT5cmd_GetProtocolVersion(CVT5Api* api, int32_t* bootFlag, uint16_t* protocolVersion,
                                  uint16_t* secondProtocolWord);
// chipId: two words, low first; uniqueId: 16 bytes as the HC sent them.
int32_t VT5cmd_GetUniqueID(CVT5Api* api, uint32_t* chipId, uint8_t* uniqueId);
int32_t VT5cmd_GetHardwareID(CVT5Api* api, uint8_t* hardwareId);
// text: 32 bytes (required); an erased text (first byte 0xFF) reads as empty.
int32_t VT5cmd_GetDeviceText(CVT5Api* api, char* text);
// info is required. The first failing step's code is returned; later fields keep their
// previous contents.
int32_t VT5cmd_GetDeviceInfo(CVT5Api* api, VT5DeviceInfo* info);
// Switches the HC off (0) or into another mode (1, 2); always ends the connection.
int32_t VT5cmd_SystemChange(CVT5Api* api, int32_t type);

// Drive the chip's ESC / RESET line high for pulseMs (0 or less: leave it high), locally or
// through the API server at serverAddress:port.
int32_t VT5_ESC_control(CVT5Api* api, int32_t pulseMs, const char* serverAddress, int32_t port);
int32_t VT5_RESET_control(CVT5Api* api, int32_t pulseMs, const char* serverAddress, int32_t port);
