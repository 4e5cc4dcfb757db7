#pragma once

#include <cstddef>
#include <cstdint>

#include "vt5api/protocol/vt5msg.h"

// The longest supported-command table there can be: 255 commands of 255 parameters.
constexpr uint32_t VT5_MAX_COMMAND_TABLE = 1 + 255 * (2 + 255 * 2);

// Parses the HC's raw table (count, then per command: code, parameter count, then id and
// value size per parameter) into `table`. False when the bytes end early; what was complete
// up to there is kept.
bool ParseCommandTable(const uint8_t* data, size_t size, VT5CommandTable& table);
