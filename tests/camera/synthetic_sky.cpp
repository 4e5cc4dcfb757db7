#include "tests/camera/synthetic_sky.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace hcsim::test {

using camera::FrameImage;

SyntheticSky& SyntheticSky::star(double x, double y, double flux, double sigma) {
    stars_.push_back({x, y, flux, sigma});
    return *this;
}

SyntheticSky& SyntheticSky::noise(double sigma, uint32_t seed) {
    noise_ = sigma;
    seed_ = seed;
    return *this;
}

FrameImage SyntheticSky::image(int limit) const {
    std::vector<double> values(FrameImage::kPixels, background_);
    for (const Star& s : stars_) {
        // Share of the light in [a - 0.5, a + 0.5) around the star's centre c.
        auto share = [&](int a, double c) {
            const double k = 1.0 / (s.sigma * std::sqrt(2.0));
            return 0.5 * (std::erf((a + 0.5 - c) * k) - std::erf((a - 0.5 - c) * k));
        };
        const int reach = static_cast<int>(std::ceil(8 * s.sigma)) + 1;
        for (int y = static_cast<int>(s.y) - reach; y <= static_cast<int>(s.y) + reach; ++y)
            for (int x = static_cast<int>(s.x) - reach; x <= static_cast<int>(s.x) + reach; ++x)
                if (FrameImage::inside(x, y))
                    values[static_cast<size_t>(y) * FrameImage::kWidth + x] +=
                        s.flux * share(x, s.x) * share(y, s.y);
    }
    std::mt19937 random(seed_);
    std::normal_distribution<double> gauss(0.0, noise_ > 0 ? noise_ : 1.0);
    FrameImage image;
    for (size_t i = 0; i < values.size(); ++i) {
        double v = values[i] + (noise_ > 0 ? gauss(random) : 0.0);
        image.pixels[i] = static_cast<uint16_t>(std::clamp(std::lround(v), 0L, long{limit}));
    }
    return image;
}

}  // namespace hcsim::test
