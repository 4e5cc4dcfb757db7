#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace starloom {

// A star measured in a frame image.
struct MeasuredStar {
    double x = 0;  // centroid in sensor pixels; pixel (i, j) covers i - 0.5 ... i + 0.5
    double y = 0;
    int peak = 0;     // brightest pixel value
    double flux = 0;  // above the sky, pixel value units
};

// The HC does not say which star it guides on; it picks one the way guiders do, and so does
// this: the brightest unsaturated star far enough from the edges to stay on the sensor, then
// that same star, sought near its last place, frame after frame.
class GuideStarTracker {
public:
    static constexpr int kEdgeMargin = 40;    // pixels kept free around a new guide star
    static constexpr int kSearchRadius = 16;  // pixels around the last place
    static constexpr int kBoxRadius = 4;      // of the box that measures a star
    static constexpr int kMinAboveSky = 16;   // a star's peak above the sky, value units

    // The star in this frame (values of the frame image; `saturation` is its largest value).
    const std::optional<MeasuredStar>& Update(std::span<const uint16_t> frame, int saturation);
    const std::optional<MeasuredStar>& star() const { return star_; }
    void Reset() { star_.reset(); }

private:
    std::optional<MeasuredStar> star_;
};

// The sky level of a frame: its median value.
int SkyLevel(std::span<const uint16_t> frame);
std::optional<MeasuredStar> FindGuideStar(std::span<const uint16_t> frame, int saturation);
// The star whose brightest pixel lies within `radius` of (x, y), or nothing.
std::optional<MeasuredStar> MeasureStarNear(std::span<const uint16_t> frame, double x, double y,
                                            int radius);

}  // namespace starloom
