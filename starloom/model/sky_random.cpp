#include "starloom/model/sky_random.h"

#include <cmath>
#include <numbers>

namespace starloom {

double SkyRandom::GaussRandom(double mean, double sd) {
    if (cacheFull_) {
        cacheFull_ = false;
        return mean + sd * cached_;
    }
    double u1 = 0.0;
    double u2 = 0.0;
    do {
        u1 = Uniform();
        u2 = Uniform();
    } while (u1 <= 2.220446049250313e-16);
    const double rho = std::sqrt(-2.0 * std::log(u1));
    const double theta = 2.0 * std::numbers::pi * u2;
    cached_ = rho * std::sin(theta);
    cacheFull_ = true;
    return mean + sd * rho * std::cos(theta);
}

}  // namespace starloom
