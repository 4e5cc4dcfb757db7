#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace hcsim {

// The HC's colour display: 240 x 320 RGB565 pixels, row-major from the top-left, with the
// few drawing operations its menu needs. Everything clips to the display.
class Screen {
public:
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 320;
    static constexpr int kPixels = kWidth * kHeight;

    Screen() : pixels_(kPixels, 0) {}

    static constexpr uint16_t rgb(uint8_t r, uint8_t g, uint8_t b) {
        return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }

    const std::vector<uint16_t>& pixels() const { return pixels_; }
    uint16_t at(int x, int y) const { return pixels_[static_cast<size_t>(y) * kWidth + x]; }

    void fill(uint16_t colour);
    void fillRect(int x, int y, int width, int height, uint16_t colour);
    // Text in the HC's font, each font pixel drawn scale x scale, glyphs (scale * 6) apart;
    // only the glyphs' own pixels are drawn.
    void text(int x, int y, std::string_view text, uint16_t colour, int scale = 2);
    static int textWidth(std::string_view text, int scale = 2);

private:
    std::vector<uint16_t> pixels_;
};

}  // namespace hcsim
