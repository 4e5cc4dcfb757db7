#include "hcsim/camera/star_measure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace hcsim::camera {
namespace {

constexpr double kDetectSigmas = 5.0;
constexpr double kWeightSigmas = 2.0;    // pixels below this are left out of the centroid
constexpr int kBackgroundStride = 13;    // every 13th pixel tells the sky level well enough
constexpr int kIsolation = 10;           // pixels: no comparably bright star this close
constexpr double kNeighbourShare = 0.5;  // "comparably bright": at least this share of the peak
constexpr size_t kMaxCandidates = 64;    // the brightest peaks examined for a guide star
constexpr double kMaxPeakShare = 0.8;    // more light in one pixel: a hot pixel, not a star
constexpr double kFwhmPerSigma = 2.3548200450309493;
constexpr double kPi = 3.14159265358979323846;

// Median of values 0 to 65535 held as a histogram.
int histogramMedian(const std::vector<uint32_t>& histogram, uint64_t count) {
    uint64_t seen = 0;
    for (size_t v = 0; v < histogram.size(); ++v) {
        seen += histogram[v];
        if (2 * seen >= count) return static_cast<int>(v);
    }
    return 0;
}

// Centroid, flux, peak and size of the star around pixel (px, py).
StarMeasurement measureAt(const FrameImage& image, const Background& bg, const StarSearch& search,
                          int px, int py) {
    const double floor = bg.level + kWeightSigmas * bg.noise;
    StarMeasurement m;
    double cx = px, cy = py;
    // Once around the brightest pixel, once more around the centroid found.
    for (int pass = 0; pass < 2; ++pass) {
        const int ox = static_cast<int>(std::lround(cx));
        const int oy = static_cast<int>(std::lround(cy));
        double sum = 0, sx = 0, sy = 0;
        int peak = 0, used = 0;
        for (int dy = -kCentroidRadius; dy <= kCentroidRadius; ++dy) {
            for (int dx = -kCentroidRadius; dx <= kCentroidRadius; ++dx) {
                if (dx * dx + dy * dy > kCentroidRadius * kCentroidRadius) continue;
                const int x = ox + dx, y = oy + dy;
                if (!FrameImage::inside(x, y)) continue;
                const int v = image.at(x, y);
                peak = std::max(peak, v);
                if (v <= floor) continue;
                const double w = v - bg.level;
                sum += w;
                sx += w * x;
                sy += w * y;
                ++used;
            }
        }
        if (sum <= 0) break;
        cx = sx / sum;
        cy = sy / sum;
        m.x = cx;
        m.y = cy;
        m.flux = sum;
        m.peak = peak;
        const double height = peak - bg.level;
        m.fwhm = height > 0 ? kFwhmPerSigma * std::sqrt(sum / (2 * kPi * height)) : 0;
        const double electrons = sum * search.electronsPerUnit;
        const double readNoise = bg.noise * search.electronsPerUnit;
        m.snr = electrons / std::sqrt(electrons + used * readNoise * readNoise);
    }
    m.saturated = m.peak >= search.saturation;
    return m;
}

}  // namespace

double Background::threshold() const {
    return level + kDetectSigmas * noise;
}

Background estimateBackground(const FrameImage& image) {
    std::vector<uint32_t> histogram(65536, 0);
    uint64_t count = 0;
    for (size_t i = 0; i < image.pixels.size(); i += kBackgroundStride) {
        ++histogram[image.pixels[i]];
        ++count;
    }
    Background bg;
    const int median = histogramMedian(histogram, count);
    std::vector<uint32_t> deviations(65536, 0);
    for (size_t v = 0; v < histogram.size(); ++v)
        if (histogram[v])
            deviations[static_cast<size_t>(std::abs(static_cast<int>(v) - median))] += histogram[v];
    bg.level = median;
    // The median absolute deviation, scaled to a standard deviation for Gaussian noise.
    bg.noise = std::max(1.4826 * histogramMedian(deviations, count), Background::kMinNoise);
    return bg;
}

std::optional<StarMeasurement> findGuideStar(const FrameImage& image, const Background& bg,
                                             const StarSearch& search) {
    struct Peak {
        int x, y, value;
    };
    std::vector<Peak> peaks;
    const double threshold = bg.threshold();
    for (int y = 1; y < FrameImage::kHeight - 1; ++y) {
        for (int x = 1; x < FrameImage::kWidth - 1; ++x) {
            const int v = image.at(x, y);
            if (v <= threshold) continue;
            // A local maximum; of equal neighbours the first in scan order.
            bool top = v > image.at(x - 1, y - 1) && v > image.at(x, y - 1) &&
                       v > image.at(x + 1, y - 1) && v > image.at(x - 1, y) &&
                       v >= image.at(x + 1, y) && v >= image.at(x - 1, y + 1) &&
                       v >= image.at(x, y + 1) && v >= image.at(x + 1, y + 1);
            if (top) peaks.push_back({x, y, v});
        }
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const Peak& a, const Peak& b) { return a.value > b.value; });
    std::optional<StarMeasurement> best;
    const size_t examined = std::min(peaks.size(), kMaxCandidates);
    for (size_t i = 0; i < examined; ++i) {
        const Peak& p = peaks[i];
        if (p.x < kEdgeMargin || p.y < kEdgeMargin || p.x >= FrameImage::kWidth - kEdgeMargin ||
            p.y >= FrameImage::kHeight - kEdgeMargin)
            continue;
        const double height = p.value - bg.level;
        bool crowded = std::any_of(peaks.begin(), peaks.end(), [&](const Peak& q) {
            return &q != &p && std::abs(q.x - p.x) <= kIsolation &&
                   std::abs(q.y - p.y) <= kIsolation &&
                   q.value - bg.level >= kNeighbourShare * height;
        });
        if (crowded) continue;
        StarMeasurement m = measureAt(image, bg, search, p.x, p.y);
        if (m.saturated || m.snr < kMinGuideSnr || m.peak - bg.level > kMaxPeakShare * m.flux)
            continue;
        if (!best || m.snr > best->snr) best = m;
    }
    return best;
}

std::optional<StarMeasurement> measureStarNear(const FrameImage& image, const Background& bg,
                                               const StarSearch& search, double x, double y,
                                               int radius) {
    const int cx = static_cast<int>(std::lround(x));
    const int cy = static_cast<int>(std::lround(y));
    int bestValue = -1, bx = 0, by = 0;
    for (int py = std::max(cy - radius, 0); py <= std::min(cy + radius, FrameImage::kHeight - 1);
         ++py) {
        for (int px = std::max(cx - radius, 0); px <= std::min(cx + radius, FrameImage::kWidth - 1);
             ++px) {
            const int v = image.at(px, py);
            if (v > bestValue) {
                bestValue = v;
                bx = px;
                by = py;
            }
        }
    }
    if (bestValue <= bg.threshold()) return std::nullopt;
    return measureAt(image, bg, search, bx, by);
}

}  // namespace hcsim::camera
