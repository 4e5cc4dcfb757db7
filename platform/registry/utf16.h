#pragma once

#include <string>
#include <string_view>

namespace platform::registry {

// Conversions between the registry's 8-bit text and UTF-16, used for hex(1) values and for
// hive files saved as UTF-16LE. Valid UTF-8 maps to its characters. Any other byte b maps to
// the lone surrogate U+DC00 + b and back, so every byte string survives the round trip:
// fromUtf16(toUtf16(s)) == s for all s. Other lone surrogates come back as their 3-byte form.
std::u16string toUtf16(std::string_view bytes);
std::string fromUtf16(std::u16string_view units);

}  // namespace platform::registry
