#pragma once

#include "gantrix/report/line_table.h"
#include "gantrix/report/log_records.h"

namespace report {

// Walks the lines in order: waits for a LOG START with an HC UID, then follows the events up to
// LOG STOP, LOG BUFFERFULL or the last line, and cuts the frames into exposure records (each
// closed one with its statistics). False (an evaluation error) when a known event line has
// fewer fields than the event needs. state starts from scratch.
[[nodiscard]] bool Interpret(const LineTable& lines, LogState& state);

}  // namespace report
