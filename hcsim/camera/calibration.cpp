#include "hcsim/camera/calibration.h"

#include <cmath>

#include "hcsim/camera/emulation_events.h"

namespace hcsim::camera {
namespace {

// Directions closer than this (cosine of the angle between them) leave DEC unusable.
constexpr double kMaxParallel = 0.9;

double distance(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

}  // namespace

std::array<double, 6> CalibrationResult::values() const {
    return {ra.x, ra.y, raRate, dec.x, dec.y, decRate};
}

void CalibrationResult::split(double dx, double dy, double& raPart, double& decPart) const {
    if (decCalibrated()) {
        const double det = ra.x * dec.y - ra.y * dec.x;
        raPart = (dx * dec.y - dy * dec.x) / det;
        decPart = (ra.x * dy - ra.y * dx) / det;
    } else {
        raPart = dx * ra.x + dy * ra.y;
        decPart = dy * ra.x - dx * ra.y;
    }
}

void Calibration::enter(Phase phase, Point origin) {
    phase_ = phase;
    origin_ = origin;
    steps_ = 0;
}

Calibration::Move Calibration::move(unsigned output) {
    ++steps_;
    auto phase = static_cast<uint16_t>(phase_);
    return {output, settings_.stepMs, static_cast<uint16_t>(phase << 8 | steps_)};
}

std::optional<Calibration::Move> Calibration::fail(std::string why) {
    phase_ = Phase::Failed;
    failure_ = std::move(why);
    return std::nullopt;
}

Calibration::Move Calibration::begin(Point at) {
    result_ = {};
    failure_.clear();
    enter(Phase::RaOut, at);
    return move(kRaPlus);
}

std::optional<Calibration::Move> Calibration::next(Point at) {
    const double seconds = steps_ * settings_.stepMs / 1000.0;
    const double moved = distance(origin_, at);
    switch (phase_) {
        case Phase::RaOut:
            if (moved < settings_.distance && steps_ < settings_.maxSteps) return move(kRaPlus);
            if (moved < settings_.minDistance) return fail("the star moved too little in RA");
            result_.ra = {(at.x - origin_.x) / moved, (at.y - origin_.y) / moved};
            result_.raRate = moved / seconds;
            outSteps_ = steps_;
            enter(Phase::RaBack, at);
            return move(kRaMinus);
        case Phase::RaBack:
            if (steps_ < outSteps_) return move(kRaMinus);
            enter(Phase::DecClear, at);
            return move(kDecPlus);
        case Phase::DecClear:
            if (moved < settings_.clearDistance && steps_ < settings_.maxClearSteps)
                return move(kDecPlus);
            enter(Phase::DecOut, at);
            return move(kDecPlus);
        case Phase::DecOut: {
            if (moved < settings_.distance && steps_ < settings_.maxSteps) return move(kDecPlus);
            result_.dec = {-result_.ra.y, result_.ra.x};  // unless DEC turns out to work
            if (moved >= settings_.minDistance) {
                Point dir{(at.x - origin_.x) / moved, (at.y - origin_.y) / moved};
                if (std::abs(dir.x * result_.ra.x + dir.y * result_.ra.y) < kMaxParallel) {
                    result_.dec = dir;
                    result_.decRate = moved / seconds;
                }
            }
            outSteps_ = steps_;
            enter(Phase::DecBack, at);
            return move(kDecMinus);
        }
        case Phase::DecBack:
            if (steps_ < outSteps_) return move(kDecMinus);
            phase_ = Phase::Done;
            return std::nullopt;
        case Phase::Done:
        case Phase::Failed:
            break;
    }
    return std::nullopt;
}

}  // namespace hcsim::camera
