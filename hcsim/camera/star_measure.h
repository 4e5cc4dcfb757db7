#pragma once

#include <optional>

#include "hcsim/camera/frame_image.h"

namespace hcsim::camera {

// The sky level of a frame and its scatter, in pixel value units.
struct Background {
    double level = 0;
    double noise = 0;  // never below kMinNoise, so that a noiseless frame still has a threshold

    static constexpr double kMinNoise = 1.0;
    // Pixels brighter than this may belong to a star.
    double threshold() const;
};

// One star as the guider measures it.
struct StarMeasurement {
    double x = 0;  // centroid, pixels; pixel (i, j) covers i - 0.5 ... i + 0.5
    double y = 0;
    double fwhm = 0;  // of the Gaussian with the star's flux and peak, pixels
    double flux = 0;  // above the background, pixel value units
    double snr = 0;
    int peak = 0;  // brightest pixel value
    bool saturated = false;
};

struct StarSearch {
    double electronsPerUnit = 1.0;  // the camera's gain: what one pixel value unit stands for
    int saturation = 4095;          // pixel value at and above which a star counts as saturated
};

Background estimateBackground(const FrameImage& image);

// The guide star a user would pick: the star of best signal-to-noise ratio that is not
// saturated, has no brighter neighbour close by, and lies far enough from the edges to stay
// on the sensor while the mount drifts.
std::optional<StarMeasurement> findGuideStar(const FrameImage& image, const Background& bg,
                                             const StarSearch& search);

// The star whose brightest pixel lies within `radius` pixels of (x, y); nothing when no pixel
// there stands above the background threshold.
std::optional<StarMeasurement> measureStarNear(const FrameImage& image, const Background& bg,
                                               const StarSearch& search, double x, double y,
                                               int radius);

// Stars of a lower signal-to-noise ratio are not measured reliably enough to guide on.
constexpr double kMinGuideSnr = 6.0;
constexpr int kEdgeMargin = 40;  // pixels kept free around a new guide star
constexpr int kCentroidRadius = 7;

}  // namespace hcsim::camera
