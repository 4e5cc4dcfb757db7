#pragma once

// The HC's display and buttons: reading the display (as updates of the pixels that changed)
// with the button lights, pressing buttons, and the display on the clipboard.

#include <cstdint>

#include "vt5api/api/vt5api.h"
#include "vt5api/commands/display_decoder.h"

// Button codes, also the order of the lights record.
constexpr int32_t VT5_BUTTON_ESC = 0;
constexpr int32_t VT5_BUTTON_SET = 1;
constexpr int32_t VT5_BUTTON_LEFT = 2;
constexpr int32_t VT5_BUTTON_RIGHT = 3;
constexpr int32_t VT5_BUTTON_UP = 4;
constexpr int32_t VT5_BUTTON_DOWN = 5;
constexpr int32_t VT5_BUTTON_COUNT = 6;

// The six button lights as the HC reports them: per button its level 0 to 9 (above 9 counts
// as 9) and its colour (1, 2, or any other value).
struct VT5ButtonLights {
    struct Light {
        uint8_t level;
        uint8_t colour;
    } button[VT5_BUTTON_COUNT];
};
static_assert(sizeof(VT5ButtonLights) == 12, "the lights record is 12 bytes on the wire");

// Command codes and parameters.
constexpr uint8_t VT5_CMD_DISPLAY_READ = 0xD1;
constexpr uint8_t VT5_CMD_BUTTON_EVENT = 0xAE;
constexpr uint8_t VT5_DISPLAY_FRESH_START = 0x01;
constexpr uint8_t VT5_DISPLAY_IMAGE = 0x02;
constexpr uint8_t VT5_DISPLAY_LIGHTS = 0x03;
constexpr uint8_t VT5_DISPLAY_SNAPSHOT = 0x10;
constexpr uint16_t VT5_DISPLAY_SNAPSHOT_SINCE = 0x111;
constexpr uint8_t VT5_BUTTON_EVENT_BASE = 0x20;
constexpr uint8_t VT5_BUTTON_EVENT_RELEASE = 0x10;
// Bytes taken from the link per read when the image follows the answer (0xFE).
constexpr int32_t VT5_DISPLAY_STREAM_PIECE = 512;

// Reads the display into frameBuffer (76,800 RGB565 pixels, row by row from the top-left;
// it must hold the previous image, since only changed pixels are rewritten) and the button
// lights; either may be null. freshStart asks the HC for every pixel (the first read after
// connecting). 58 for a lights record of the wrong size; 54 when an image that follows the
// answer on the link ends early (what arrived is applied, the rest counts as 0).
int32_t VT5cmd_ReadDisplay(CVT5Api* api, uint16_t* frameBuffer, VT5ButtonLights* lights,
                           bool freshStart);
// A complete image without disturbing the update tracking of another program reading the
// display: one read on HCs from protocol version 0x111 in firmware mode, else a read with a
// fresh start followed (outside BOOT mode) by another fresh start for the next reader.
int32_t VT5cmd_ReadDisplaySnapshot(CVT5Api* api, uint16_t* frameBuffer, VT5ButtonLights* lights);
// The display as a 240 x 320, 32-bit bitmap on the clipboard. 901 when the clipboard cannot
// be opened, emptied or given the bitmap; 902 when the bitmap cannot be made.
int32_t VT5cmd_DisplayToClipboard(CVT5Api* api);
// A press (released = false) or release of button 0 to 15.
int32_t VT5cmd_ButtonEvent(CVT5Api* api, int32_t button, bool released);
