#pragma once

// Camera emulation: the HC takes its guide camera's frames from the PC. The PC switches the
// emulation on and off, collects the HC's requests and guide outputs as time-stamped events,
// and delivers each frame. In Client mode every function works in the lock section 0x5A74.

#include <cstdint>

#include "vt5api/api/vt5api.h"

constexpr uint8_t VT5_CMD_EMULATION = 0xF9;

// Parameters of command 0xF9.
constexpr uint8_t VT5_EMU_START = 0x01;
constexpr uint8_t VT5_EMU_STOP = 0x02;
constexpr uint8_t VT5_EMU_EVENTS = 0x0F;  // also the answer parameter of the HC time

// Event codes: the id of each event parameter in the answer to VT5_EMU_EVENTS. Every event's
// value starts with the HC's time (ms, 4 bytes little-endian).
constexpr uint8_t VT5_EMU_EXPOSURE_START = 0x0A;  // + 2 bytes: bits 0-11 ms, bits 12-15 gain
constexpr uint8_t VT5_EMU_FRAME_REQUEST = 0x0B;
constexpr uint8_t VT5_EMU_RA_OFF = 0x10;
constexpr uint8_t VT5_EMU_RA_PLUS = 0x11;
constexpr uint8_t VT5_EMU_RA_MINUS = 0x12;
constexpr uint8_t VT5_EMU_DEC_OFF = 0x20;
constexpr uint8_t VT5_EMU_DEC_PLUS = 0x21;
constexpr uint8_t VT5_EMU_DEC_MINUS = 0x22;
constexpr uint8_t VT5_EMU_ALL_OUTPUTS = 0x30;  // 0x30 | bits: RA+ 1, RA- 2, DEC+ 4, DEC- 8
constexpr uint8_t VT5_EMU_CALIBRATION = 0xEF;  // + 2 bytes: the calibration step value

// One collected event, in a singly linked list that the caller owns.
struct VT5EmuEvent {
    int32_t length;     // bytes of data
    uint8_t* data;      // the event code, then the parameter's value bytes
    VT5EmuEvent* next;  // null at the end
};

// The HC time of an event (its first four value bytes), or 0 when the event is shorter.
uint32_t VT5EmuEventTime(const VT5EmuEvent& event);
// A 2-byte little-endian payload after the time (exposure start, calibration), or 0.
uint16_t VT5EmuEventPayload(const VT5EmuEvent& event);

// Switches the emulation on; hcTime (optional) gets the HC's clock in ms when the answer has
// it and is left as it was when not. 58 when the answer's time parameter holds fewer than
// four bytes.
int32_t VT5cmd_EMU_Start(CVT5Api* api, int32_t* hcTime);
int32_t VT5cmd_EMU_Stop(CVT5Api* api);
// Collects the HC's pending events into the context's received-block queue and hands out the
// oldest of what is queued, oldest first: all of them, or at most *maxCount when maxCount is
// given (the count handed out is written back). Events not handed out wait for the next call.
// head is required (200); 3 when an event cannot be allocated. Release the list with
// VT5cmd_EMU_FreeEvents.
int32_t VT5cmd_EMU_GetEvents(CVT5Api* api, VT5EmuEvent** head, int32_t* maxCount);
// Releases a list of VT5cmd_EMU_GetEvents and sets *head to null. It needs no connection, so
// a list is released also after the HC has gone. 200 without head, 2 without an API context.
int32_t VT5cmd_EMU_FreeEvents(CVT5Api* api, VT5EmuEvent** head);
// Delivers a frame (the compressed camera frame) as the bulk data of command 0xF9.
int32_t VT5cmd_EMU_SendFrame(CVT5Api* api, const uint8_t* frame, int32_t length);

// Releases an event list when it ends, for callers in C++.
class VT5EmuEventList {
public:
    explicit VT5EmuEventList(CVT5Api& api) : api_(api) {}
    ~VT5EmuEventList() { VT5cmd_EMU_FreeEvents(&api_, &head_); }
    VT5EmuEventList(const VT5EmuEventList&) = delete;
    VT5EmuEventList& operator=(const VT5EmuEventList&) = delete;

    VT5EmuEvent** out() { return &head_; }
    VT5EmuEvent* head() const { return head_; }
    int32_t Free() { return VT5cmd_EMU_FreeEvents(&api_, &head_); }

private:
    CVT5Api& api_;
    VT5EmuEvent* head_ = nullptr;
};
