#pragma once

// Reading TCP port numbers typed by the user.

#include <cstdint>
#include <optional>
#include <string_view>

// The number at the start of text as "%d" reads it: white space, an optional sign, then
// digits (anything after them is ignored). None when there are no digits. Values beyond the
// int32 range saturate.
std::optional<int64_t> ScanDecimal(std::string_view text);

// The port of the connection options' port edit: empty (or no number) is 0, below 0 is 0,
// above 65535 is 65535.
int32_t ClampedPort(std::string_view text);
