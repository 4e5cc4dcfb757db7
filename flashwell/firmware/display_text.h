#pragma once

#include <string>
#include <string_view>

// A description from a firmware file or a device, as text to show: bytes that are valid UTF-8
// stay as they are; any other bytes are read as Latin-1 (the 8-bit code page such files were
// written in) and converted to UTF-8.
std::string DisplayText(std::string_view bytes);
