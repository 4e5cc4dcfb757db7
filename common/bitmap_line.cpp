// The anti-aliased line of CBitmapRect (after Xiaolin Wu).
#include <cmath>
#include <utility>

#include "common/bitmap_rect.h"

namespace {

// One pixel in 16.16 fixed point, a hair below 65536 so that a whole-numbered minor coordinate
// lands entirely on its own pixel: x * kFixedOne has the fraction 0xFFFF below x, whose upper
// byte gives the next pixel, x, the weight 255 and x - 1 nothing.
constexpr double kFixedOne = 65535.98828125;

// floor(v) + 0.5 truncated toward zero: floor(v) for v >= 0, floor(v) + 1 below 0.
int64_t ToInt(double v) {
    return int64_t(std::floor(v) + 0.5);
}

}  // namespace

void CBitmapRect::Line(float x1, float y1, float x2, float y2, uint32_t colour, float intensity) {
    if (width_ == 0 || height_ == 0) return;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2) ||
        !std::isfinite(intensity)) {
        return;
    }
    const bool xMajor = std::fabs(x2 - x1) >= std::fabs(y2 - y1);
    float start = xMajor ? x1 : y1, end = xMajor ? x2 : y2;
    float minorStart = xMajor ? y1 : x1, minorEnd = xMajor ? y2 : x2;
    if (start > end) {
        std::swap(start, end);
        std::swap(minorStart, minorEnd);
    }
    const float slope = end > start ? (minorEnd - minorStart) / (end - start) : 0.0f;

    // Clip on the major axis; the minor axis is clipped pixel by pixel.
    const float low = -0.5f, high = float((xMajor ? width_ : height_) - 1);
    if (end < low || start > high) return;
    if (start < low) {
        minorStart += (low - start) * slope;
        start = low;
    }
    if (end > high) {
        minorEnd -= (end - high) * slope;
        end = high;
    }
    // A line wholly beside the canvas draws nothing; this also keeps the fixed-point values of
    // what is left small (the minor extent is at most the major one).
    const float minorSize = float(xMajor ? height_ : width_);
    if (std::fmin(minorStart, minorEnd) > minorSize + 1 || std::fmax(minorStart, minorEnd) < -2) {
        return;
    }

    const int64_t a = ToInt(start), b = ToInt(end);
    const int64_t step = ToInt(slope * kFixedOne);
    int64_t minor = ToInt(minorStart * kFixedOne + double(float(a) - start) * double(step));
    const float startFactor = float(a) + 0.5f - start;
    const float endFactor = end - float(b) + 0.5f;
    for (int64_t p = a; p <= b; ++p, minor += step) {
        const int64_t pixel = minor >> 16;
        const int f = int((minor >> 8) & 0xFF);
        int w0 = 255 - f, w1 = f;
        if (p == a) {
            w0 = int(float(w0) * startFactor);
            w1 = int(float(w1) * startFactor);
        }
        if (p == b) {
            w0 = int(float(w0) * endFactor);
            w1 = int(float(w1) * endFactor);
        }
        const float i0 = float(w0) / 256.0f * intensity, i1 = float(w1) / 256.0f * intensity;
        if (xMajor) {
            Blend(int(p), int(pixel), i0, colour);
            Blend(int(p), int(pixel + 1), i1, colour);
        } else {
            Blend(int(pixel), int(p), i0, colour);
            Blend(int(pixel + 1), int(p), i1, colour);
        }
    }
}
