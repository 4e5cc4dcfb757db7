// The soft dot of CBitmapRect, with a cheap exp(-z): exp of the whole part from a table, a
// quadratic for the fraction (within one colour step of the exact function).
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "common/bitmap_rect.h"
#include "common/colour.h"

namespace {

double ExpMinus(double z) {
    static const std::array<double, 12> table = [] {
        std::array<double, 12> t{};
        for (size_t k = 0; k < t.size(); ++k)
            t[k] = std::exp(-double(k));
        return t;
    }();
    if (!(z < 12.0)) return 0.0;
    const double whole = std::floor(z);
    const double f = z - whole;
    return table[size_t(whole)] * (1.0 + f * (0.3033965826034546 * f - 0.9355171322822571));
}

// The inclusive pixel range trunc(centre) +- trunc(reach), clipped to 0..size-1; empty when it
// misses the canvas.
std::pair<int, int> Span(float centre, float reach, int size) {
    const double c = std::trunc(double(centre)), r = std::trunc(double(reach));
    const double low = std::max(c - r, 0.0), high = std::min(c + r, double(size - 1));
    if (low > high) return {0, -1};
    return {int(low), int(high)};
}

}  // namespace

void CBitmapRect::GaussianDot(float x, float y, float sigmaX, float sigmaY, uint32_t colour) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(sigmaX) ||
        !std::isfinite(sigmaY)) {
        return;
    }
    sigmaX = std::max(sigmaX, 0.01f);
    sigmaY = std::max(sigmaY, 0.01f);
    const auto [xLow, xHigh] = Span(x, 3.33f * sigmaX, width_);
    const auto [yLow, yHigh] = Span(y, 3.33f * sigmaY, height_);
    if (xLow > xHigh || yLow > yHigh) return;
    const double twoSx2 = 2.0 * double(sigmaX) * sigmaX, twoSy2 = 2.0 * double(sigmaY) * sigmaY;
    std::vector<double> columnWeights(size_t(xHigh - xLow + 1));
    for (int px = xLow; px <= xHigh; ++px) {
        const double dx = px - double(x);
        columnWeights[size_t(px - xLow)] = ExpMinus(dx * dx / twoSx2);
    }
    for (int py = yLow; py <= yHigh; ++py) {
        const double dy = py - double(y);
        const double wy = ExpMinus(dy * dy / twoSy2);
        if (wy == 0.0) continue;
        uint32_t* row = Row(py);
        for (int px = xLow; px <= xHigh; ++px) {
            const double w = columnWeights[size_t(px - xLow)] * wy;
            uint32_t pixel = row[px];
            uint32_t result = pixel & 0xFF000000u;
            for (int n = 0; n < 3; ++n) {
                const int old = common::PixelByte(pixel, n);
                const int lit = int(w * common::PixelByte(colour, n));
                result |= uint32_t(std::max(old, lit)) << (8 * n);
            }
            row[px] = result;
        }
    }
}
