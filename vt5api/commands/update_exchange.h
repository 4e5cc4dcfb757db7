#pragma once

// What the firmware update operations share: their command codes and parameters, the
// exchanges they are made of, and the firmware information record.

#include <cstdint>

#include "vt5api/api/vt5api.h"
#include "vt5api/commands/update.h"

namespace vt5upd {

constexpr uint8_t kCmdUpdate = 0xF7;  // the HC's boot loader
constexpr uint8_t kCmdCamera = 0xF4;  // the HC, for its camera

// Parameters of 0xF7 (on the HC, and passed through to the camera).
constexpr uint8_t kInfo = 0x10;
constexpr uint8_t kUploadStart = 0x30;
constexpr uint8_t kProgrammingStart = 0x8A;
constexpr uint8_t kImageData = 0xDA;
constexpr uint8_t kFinish = 0x8F;
// Parameters of 0xF4.
constexpr uint8_t kCameraRelease = 0xC0;
constexpr uint8_t kCameraBootStart = 0xC1;
constexpr uint8_t kPassThrough = 0x3C;
// Camera identity commands (0xF8) passed through.
constexpr uint8_t kCmdIdentity = 0xF8;
constexpr uint8_t kProtocolWords = 0x01;
constexpr uint8_t kUniqueId = 0x10;
constexpr uint8_t kHardwareId = 0x11;

constexpr int kRecordSize = 49;

// The HC runs its boot loader, as the handshake of the current connection found.
bool InBootMode(const CVT5Api* api);

// One exchange of command `code` with parameter `param` (value may be null).
int32_t Send(CVT5Api* api, uint8_t code, uint8_t param, const void* value = nullptr,
             int32_t size = 0);

// The value of the last answer's entry `param` when it has exactly `length` bytes; else null,
// with `*present` (optional) telling whether the entry was there at all.
const uint8_t* AnswerValue(const CVT5Api* api, uint8_t param, int length, bool* present = nullptr);

// A firmware information record of `length` bytes (at most 49 are read): the status, and with
// status 0 the other fields of a record that holds them.
void ReadRecord(const uint8_t* record, int length, VT5FwInfo& info);

void SetLastStatus(int32_t status);

}  // namespace vt5upd
