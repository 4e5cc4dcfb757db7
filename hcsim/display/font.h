#pragma once

#include <array>
#include <cstdint>

namespace hcsim {

// The HC's bitmap font: 5 x 7 pixel glyphs for the printable ASCII characters. Each glyph is
// seven rows, top first; bit 4 of a row is its leftmost pixel.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

using Glyph = std::array<uint8_t, kGlyphHeight>;

// The glyph of c; '?' for a character the font lacks.
const Glyph& glyphOf(char c);

}  // namespace hcsim
