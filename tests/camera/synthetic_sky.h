#pragma once

#include <cstdint>

#include "hcsim/camera/frame_image.h"

namespace hcsim::test {

// Test frames drawn directly: a flat background, optional Gaussian noise, and Gaussian stars
// integrated over each pixel.
class SyntheticSky {
public:
    explicit SyntheticSky(int background = 256) : background_(background) {}

    // A star of `flux` pixel value units in total, centred on (x, y), with Gaussian sigma.
    SyntheticSky& star(double x, double y, double flux, double sigma);
    SyntheticSky& noise(double sigma, uint32_t seed = 1);
    // Values above `limit` are cut to it, as a 12-bit camera does.
    camera::FrameImage image(int limit = 4095) const;

private:
    struct Star {
        double x, y, flux, sigma;
    };
    int background_;
    double noise_ = 0;
    uint32_t seed_ = 1;
    std::vector<Star> stars_;
};

}  // namespace hcsim::test
