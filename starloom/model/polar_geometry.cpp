#include "starloom/model/polar_geometry.h"

#include <cmath>
#include <numbers>

namespace starloom {

namespace {

// Horizon frame: x east, y north, z up.
struct Vec3 {
    double x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(Vec3 a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalise(Vec3 v) {
    return v * (1.0 / std::sqrt(Dot(v, v)));
}

// Rodrigues: v turned about the unit axis k by alpha radians.
Vec3 Rotate(Vec3 k, Vec3 v, double alpha) {
    const double c = std::cos(alpha);
    const double s = std::sin(alpha);
    return v * c + Cross(k, v) * s + k * (Dot(k, v) * (1.0 - c));
}

constexpr Vec3 kEast{1.0, 0.0, 0.0};
constexpr Vec3 kUp{0.0, 0.0, 1.0};
constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr double kSecondsPerDay = 86400.0;
// At hour angle 0 of the model the target rises in the east, 6 h before the meridian.
constexpr double kSixHours = 21600.0;

}  // namespace

PolarView ComputePolarView(const PolarAlignment& alignment, double hourAngleSeconds, float scale,
                           const CameraOrientation& camera) {
    const double h = alignment.southern ? -1.0 : 1.0;
    const double phi = alignment.poleAltitude;
    const double dAlt = alignment.altitudeError;
    const double dAz = alignment.azimuthError;
    const double K = kDegreesPerRadian;

    const Vec3 pole = Rotate(kEast, {0.0, h, 0.0}, h * phi * kDegree);
    const Vec3 axis = Rotate(kUp, Rotate(kEast, pole, h * dAlt * kDegree), -h * dAz * kDegree);
    const double axisTilt = h * (phi + dAlt) * kDegree;
    const Vec3 w = Rotate(kUp, Rotate(kEast, {0.0, 0.0, h * K}, axisTilt), -h * dAz * kDegree);
    const Vec3 v = Rotate(kUp, Rotate(kEast, {0.0, -h * K, 0.0}, axisTilt), -h * dAz * kDegree);
    const Vec3 target = Normalise(Cross(w, v));
    const Vec3 equator =
        Vec3{0.0, -h * pole.z, h * pole.y} * (1.0 / std::sqrt(pole.y * pole.y + pole.z * pole.z));

    const double hourAngle =
        (hourAngleSeconds + kSixHours) / kSecondsPerDay * 2.0 * std::numbers::pi;
    const double beta = -h * hourAngle;
    const Vec3 w1 = Rotate(axis, w, beta);
    const Vec3 v1 = Rotate(axis, v, beta);
    const Vec3 target1 = Rotate(pole, target, beta);
    const Vec3 equator1 = Rotate(pole, equator, beta);

    PolarView view;
    view.raDrift = static_cast<float>(Dot(target1, w1) * 3600.0 / scale);
    view.decDrift = static_cast<float>(Dot(target1, v1) * 3600.0 / scale);

    const double ce = Dot(w1, equator1);
    const double se = Dot(v1, equator1);
    const double norm = std::sqrt(ce * ce + se * se);
    const auto c = static_cast<float>(ce / norm);
    const auto s = static_cast<float>(se / norm);

    view.raX = camera.m00 * c + camera.m10 * s;
    view.raY = camera.m01 * c + camera.m11 * s;
    if (!alignment.southern) {
        view.decX = -camera.m00 * s + camera.m10 * c;
        view.decY = -camera.m01 * s + camera.m11 * c;
    } else {
        view.decX = camera.m00 * s - camera.m10 * c;
        view.decY = camera.m01 * s - camera.m11 * c;
    }
    return view;
}

}  // namespace starloom
