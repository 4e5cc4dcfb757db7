#include "hcsim/camera/guide_controller.h"

#include <algorithm>
#include <cmath>

namespace hcsim::camera {
namespace {

// The integral may correct at most this many pixels at once, so that a star lost behind a
// cloud does not wind it up.
constexpr double kMaxIntegralCorrection = 5.0;

int pulseMs(double pixels, double rate, const GuideParameters& p) {
    if (rate <= 0 || pixels == 0) return 0;
    // Against the drift: a positive drift needs the minus output.
    const double ms = -pixels / rate * 1000.0;
    const double limited = std::clamp(ms, -double(p.maxPulseMs), double(p.maxPulseMs));
    const int rounded = static_cast<int>(std::lround(limited));
    return std::abs(rounded) < p.minPulseMs ? 0 : rounded;
}

}  // namespace

Pulses GuideController::correct(double raDrift, double decDrift,
                                const CalibrationResult& calibration, const GuideParameters& p) {
    raSum_ += raDrift;
    if (p.raI > 0) {
        const double limit = kMaxIntegralCorrection / p.raI;
        raSum_ = std::clamp(raSum_, -limit, limit);
    }
    double ra = p.raI * raSum_;
    if (std::abs(raDrift) >= p.raTolerance) ra += p.raP * raDrift;
    Pulses pulses;
    pulses.raMs = pulseMs(ra, calibration.raRate, p);
    if (calibration.decCalibrated() && std::abs(decDrift) >= p.decTolerance)
        pulses.decMs = pulseMs(p.decP * decDrift, calibration.decRate, p);
    return pulses;
}

}  // namespace hcsim::camera
