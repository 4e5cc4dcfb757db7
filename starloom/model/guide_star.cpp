#include "starloom/model/guide_star.h"

#include <algorithm>
#include <cmath>

#include "starloom/model/frame_histogram.h"
#include "starloom/model/sensor.h"

namespace starloom {

namespace {

uint16_t At(std::span<const uint16_t> frame, int x, int y) {
    return frame[static_cast<std::size_t>(y) * kSensorWidth + x];
}

// Flux-weighted centroid of the box around (px, py), above the sky.
MeasuredStar Measure(std::span<const uint16_t> frame, int px, int py, int sky) {
    constexpr int r = GuideStarTracker::kBoxRadius;
    double sum = 0, sx = 0, sy = 0;
    for (int y = std::max(0, py - r); y <= std::min(kSensorHeight - 1, py + r); ++y)
        for (int x = std::max(0, px - r); x <= std::min(kSensorWidth - 1, px + r); ++x) {
            const double w = std::max(0, At(frame, x, y) - sky);
            sum += w;
            sx += w * x;
            sy += w * y;
        }
    MeasuredStar star;
    star.peak = At(frame, px, py);
    star.flux = sum;
    star.x = sum > 0 ? sx / sum : px;
    star.y = sum > 0 ? sy / sum : py;
    return star;
}

bool LocalMaximum(std::span<const uint16_t> frame, int x, int y) {
    const uint16_t v = At(frame, x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0) continue;
            const uint16_t n = At(frame, x + dx, y + dy);
            // Of equal neighbours only the first in scan order counts.
            if (n > v || (n == v && (dy < 0 || (dy == 0 && dx < 0)))) return false;
        }
    return true;
}

}  // namespace

int SkyLevel(std::span<const uint16_t> frame) {
    return FrameHistogram(frame).Percentile(50.0);
}

std::optional<MeasuredStar> FindGuideStar(std::span<const uint16_t> frame, int saturation) {
    if (frame.size() < kSensorPixels) return std::nullopt;
    const int sky = SkyLevel(frame);
    const int threshold = sky + GuideStarTracker::kMinAboveSky;
    constexpr int m = GuideStarTracker::kEdgeMargin;
    std::optional<MeasuredStar> best;
    for (int y = m; y < kSensorHeight - m; ++y)
        for (int x = m; x < kSensorWidth - m; ++x) {
            const uint16_t v = At(frame, x, y);
            if (v <= threshold || v >= saturation || !LocalMaximum(frame, x, y)) continue;
            const MeasuredStar star = Measure(frame, x, y, sky);
            if (!best || star.flux > best->flux) best = star;
        }
    return best;
}

std::optional<MeasuredStar> MeasureStarNear(std::span<const uint16_t> frame, double x, double y,
                                            int radius) {
    if (frame.size() < kSensorPixels) return std::nullopt;
    const int sky = SkyLevel(frame);
    const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
    int bestX = -1, bestY = -1, bestValue = sky + GuideStarTracker::kMinAboveSky;
    for (int py = std::max(0, cy - radius); py <= std::min(kSensorHeight - 1, cy + radius); ++py)
        for (int px = std::max(0, cx - radius); px <= std::min(kSensorWidth - 1, cx + radius);
             ++px) {
            if ((px - cx) * (px - cx) + (py - cy) * (py - cy) > radius * radius) continue;
            if (At(frame, px, py) > bestValue)
                bestX = px, bestY = py, bestValue = At(frame, px, py);
        }
    if (bestX < 0) return std::nullopt;
    return Measure(frame, bestX, bestY, sky);
}

const std::optional<MeasuredStar>& GuideStarTracker::Update(std::span<const uint16_t> frame,
                                                            int saturation) {
    if (star_) star_ = MeasureStarNear(frame, star_->x, star_->y, kSearchRadius);
    if (!star_) star_ = FindGuideStar(frame, saturation);
    return star_;
}

}  // namespace starloom
