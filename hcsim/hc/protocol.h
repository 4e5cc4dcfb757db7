#pragma once

#include <cstddef>
#include <cstdint>

// Byte values of the command protocol as the HC sees it.
namespace hcsim::protocol {

constexpr uint32_t kLineBaud = 3'000'000;  // the HC's UART; bytes at other rates are noise
constexpr size_t kMaxMessage = 528;        // command and answer messages, terminator included
constexpr size_t kAnswerHeader = 5;        // ID, counter, type, length (2)
constexpr size_t kMaxSegment = 65'535;     // an answer message and the bulk data after it

// Answer types.
constexpr uint8_t kExecuted = 0;
constexpr uint8_t kInvalidCommand = 16;
constexpr uint8_t kCounterMismatch = 17;
constexpr uint8_t kUnknownParameter = 18;
constexpr uint8_t kTooManyParameters = 19;
constexpr uint8_t kTooManyBytes = 20;
constexpr uint8_t kCannotExecute = 32;

// Counters run 1 to 239; 0xF0 in an answer says the command code was unknown.
constexpr uint8_t kMaxCounter = 239;
constexpr uint8_t kUnknownCodeCounter = 0xF0;

// Parameter ids with a fixed meaning in every command and answer.
constexpr uint8_t kBulkEntry = 0xFC;     // 4-byte size of the bulk data
constexpr uint8_t kBulkFramed = 0xFD;    // the bulk data follows, in segments
constexpr uint8_t kBulkStreamed = 0xFE;  // the bulk data follows in one piece
constexpr uint8_t kTerminator = 0xFF;

// Asynchronous messages: FB code 00 05 00.
constexpr uint8_t kAsyncId = 0xFB;
constexpr uint8_t kAsyncPoweredOff = 0x36;
constexpr uint8_t kAsyncToFirmware = 0xB7;  // announces a restart into the firmware
constexpr uint8_t kAsyncToBoot = 0xAA;      // announces a restart into BOOT mode

// Command codes.
constexpr uint8_t kIdentity = 0xF8;
constexpr uint8_t kSystemChange = 0x51;      // firmware mode
constexpr uint8_t kBootSystemChange = 0xFA;  // BOOT mode
constexpr uint8_t kFileSystem = 0x5F;
constexpr uint8_t kDisplayRead = 0xD1;
constexpr uint8_t kButtonEvent = 0xAE;
constexpr uint8_t kCameraEmulation = 0xF9;
constexpr uint8_t kFirmwareUpdate = 0xF7;
constexpr uint8_t kCameraAccess = 0xF4;

}  // namespace hcsim::protocol
