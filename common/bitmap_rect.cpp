#include "common/bitmap_rect.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "common/colour.h"

int CBitmapRect::Create(int width, int height) {
    width_ = 0;
    height_ = 0;
    pixels_.clear();
    pixels_.shrink_to_fit();
    if (width < 0 || height < 0) return -1;
    try {
        pixels_.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return -1;
    } catch (const std::length_error&) {
        return -1;
    }
    width_ = width;
    height_ = height;
    return 0;
}

void CBitmapRect::Fill(uint32_t colour) {
    std::fill(pixels_.begin(), pixels_.end(), colour);
}

void CBitmapRect::SetPixel(int x, int y, uint32_t colour, int size) {
    if (size < 1) return;
    // Clip in 64 bits: x + size may not fit an int.
    int64_t x1 = std::max<int64_t>(x, 0), x2 = std::min<int64_t>(int64_t(x) + size, width_);
    int64_t y1 = std::max<int64_t>(y, 0), y2 = std::min<int64_t>(int64_t(y) + size, height_);
    for (int64_t py = y1; py < y2; ++py) {
        uint32_t* row = Row(int(py));
        std::fill(row + x1, row + std::max(x1, x2), colour);
    }
}

uint32_t CBitmapRect::GetPixel(int x, int y) const {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return 0;
    return pixels_[size_t(y) * size_t(width_) + size_t(x)];
}

void CBitmapRect::VerticalLine(int x, int y1, int y2, uint32_t colour) {
    if (x < 0 || x >= width_) return;
    if (y1 > y2) std::swap(y1, y2);
    y1 = std::max(y1, 0);
    y2 = std::min(y2, height_ - 1);
    for (int y = y1; y <= y2; ++y)
        Row(y)[x] = colour;
}

void CBitmapRect::HorizontalLine(int x1, int y, int x2, uint32_t colour) {
    uint32_t* row = Row(y);
    if (row == nullptr) return;
    if (x1 > x2) std::swap(x1, x2);
    x1 = std::max(x1, 0);
    x2 = std::min(x2, width_ - 1);
    if (x1 <= x2) std::fill(row + x1, row + x2 + 1, colour);
}

uint32_t* CBitmapRect::Row(int y) {
    if (y < 0 || y >= height_) return nullptr;
    return pixels_.data() + size_t(y) * size_t(width_);
}

const uint32_t* CBitmapRect::Row(int y) const {
    if (y < 0 || y >= height_) return nullptr;
    return pixels_.data() + size_t(y) * size_t(width_);
}

void CBitmapRect::Blend(int x, int y, float w, uint32_t colour) {
    // Weight 0 leaves the pixel as it is; a vertical or horizontal line gives it to every
    // other pixel it touches.
    if (w == 0.0f || x < 0 || x >= width_ || y < 0 || y >= height_) return;
    uint32_t& pixel = pixels_[size_t(y) * size_t(width_) + size_t(x)];
    uint32_t blended = pixel & 0xFF000000u;
    for (int n = 0; n < 3; ++n) {
        const float value = w * float(common::PixelByte(colour, n)) +
                            (1.0f - w) * float(common::PixelByte(pixel, n));
        // Weights outside 0..1 (end points of short lines) can overshoot either way.
        const uint32_t channel = value <= 0.0f ? 0u : value >= 255.0f ? 255u : uint32_t(value);
        blended |= channel << (8 * n);
    }
    pixel = blended;
}
