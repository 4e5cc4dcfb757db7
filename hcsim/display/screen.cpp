#include "hcsim/display/screen.h"

#include <algorithm>

#include "hcsim/display/font.h"

namespace hcsim {

void Screen::fill(uint16_t colour) {
    std::fill(pixels_.begin(), pixels_.end(), colour);
}

void Screen::fillRect(int x, int y, int width, int height, uint16_t colour) {
    int x0 = std::max(x, 0), x1 = std::min(x + width, kWidth);
    int y0 = std::max(y, 0), y1 = std::min(y + height, kHeight);
    for (int row = y0; row < y1; ++row)
        for (int col = x0; col < x1; ++col)
            pixels_[static_cast<size_t>(row) * kWidth + col] = colour;
}

void Screen::text(int x, int y, std::string_view text, uint16_t colour, int scale) {
    for (char c : text) {
        const Glyph& glyph = glyphOf(c);
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int col = 0; col < kGlyphWidth; ++col)
                if (glyph[row] & (0x10 >> col))
                    fillRect(x + col * scale, y + row * scale, scale, scale, colour);
        x += (kGlyphWidth + 1) * scale;
    }
}

int Screen::textWidth(std::string_view text, int scale) {
    if (text.empty()) return 0;
    return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

}  // namespace hcsim
