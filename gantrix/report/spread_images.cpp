// The two square images of an exposure with DEC calibration: calibration vectors and the point
// spread of the guide star over a grid in arcseconds.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/graph_colours.h"
#include "gantrix/report/graph_images.h"

namespace report {

namespace {

constexpr float kCentre = kSpreadImageSize / 2;
constexpr float kVectorLength = 120;
// Below this the downward walk of grid scales has run out.
constexpr float kFinestGridScale = 0.01f;

bool OddFloor(double v) {
    const double f = std::floor(v);
    // Doubles this large are all even integers.
    if (std::fabs(f) >= 9.0e15) return false;
    return (int64_t(f) & 1) != 0;
}

// Both floors odd or both even: the cell is dark.
bool OddCell(double a, double b) {
    return OddFloor(a) != OddFloor(b);
}

// One vector as five lines from points beside the centre to its tip, 120 pixels per unit.
void DrawVector(CBitmapRect& bitmap, float x, float y, uint32_t colour) {
    for (int i = -2; i <= 2; ++i) {
        bitmap.Line(kCentre + float(i) * y, kCentre + float(i) * x, kCentre + kVectorLength * x,
                    kCentre + kVectorLength * y, colour);
    }
}

// Grid scales from 100 upward (100, 200, 500, 1000, ...) for spreads the downward series
// cannot bracket, chosen by the same rule.
float CoarseGridScale(float target) {
    float low = 100.0f;
    for (float decade = 100.0f;; decade *= 10.0f) {
        for (float high : {decade * 2.0f, decade * 5.0f, decade * 10.0f}) {
            if (target < high) return target / low <= high / target ? low : high;
            low = high;
        }
    }
}

}  // namespace

float GridScale(float target) {
    if (!std::isfinite(target)) return kFinestGridScale;
    if (target >= 100.0f) return CoarseGridScale(target);
    float decade = 100.0f;
    float prev = decade;
    const float steps[] = {0.5f, 0.2f, 0.1f};
    for (;;) {
        for (float step : steps) {
            const float cand = decade * step;
            if (prev > target && cand <= target)
                return target / cand <= prev / target ? cand : prev;
            prev = cand;
            if (!(cand >= 0.0101f)) return kFinestGridScale;
        }
        decade *= 0.1f;
    }
}

void DrawCalibrationVectors(const Calibration& c, CBitmapRect& bitmap) {
    bitmap.Create(kSpreadImageSize, kSpreadImageSize);
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            row[x] = (x ^ y) & 64 ? colours::kLightCell : colours::kBackground;
        }
    }
    DrawVector(bitmap, c[3], c[4], colours::kDec);
    DrawVector(bitmap, c[0], c[1], colours::kRa);
}

float DrawPointSpread(const ExposureRecord& exposure, CBitmapRect& bitmap) {
    const ExposureStatistics& s = exposure.statistics;
    const Calibration& c = exposure.calibration;
    const float spread = std::max({std::fabs(s.raDriftMin), std::fabs(s.raDriftMax),
                                   std::fabs(s.decDriftMin), std::fabs(s.decDriftMax)});
    const float radius = spread * 1.15f;
    const float pixelScale = PixelScale(exposure.focalLength, exposure.binning);
    const float grid = GridScale(pixelScale * radius / 2.5f);

    bitmap.Create(kSpreadImageSize, kSpreadImageSize);
    // Arcseconds across the radius, spread over the half width of the image.
    const double perPixel = double(pixelScale * radius) * 0.0078125;
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint32_t* row = bitmap.Row(y);
        const double v = y - kCentre;
        for (int x = 0; x < bitmap.Width(); ++x) {
            const double u = x - kCentre;
            const double a = perPixel * (c[0] * u + c[3] * v);
            const double b = perPixel * (c[1] * u + c[4] * v);
            const bool light = std::isfinite(a) && std::isfinite(b) && OddCell(a / grid, b / grid);
            row[x] = light ? colours::kLightCell : colours::kBackground;
        }
    }
    for (const FrameRecord& frame : exposure.frames) {
        if (frame.guided == 0 || frame.star == 0) continue;
        // Without any drift every point sits in the centre.
        const float x = radius > 0 ? frame.raDrift / radius * kCentre + kCentre : kCentre;
        const float y = radius > 0 ? frame.decDrift / radius * kCentre + kCentre : kCentre;
        bitmap.GaussianDot(x, y, 2.0f, 2.0f, colours::kSpreadPoint);
    }
    return grid;
}

}  // namespace report
