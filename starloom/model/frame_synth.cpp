#include "starloom/model/frame_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "starloom/model/frame_values.h"
#include "starloom/model/sensor.h"

namespace starloom {

namespace {

struct Direction {
    double sin;
    double cos;
};

// A photon's direction comes from the low 16 bits of a generator value: the angle is rounded
// to single precision before its sine and cosine are taken, so 65536 entries hold them all.
const std::array<Direction, 65536>& PhotonDirections() {
    static const auto table = [] {
        std::array<Direction, 65536> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            const auto theta =
                static_cast<float>(static_cast<double>(i) / 65536.0 * 2.0 * std::numbers::pi);
            t[i] = {std::sin(static_cast<double>(theta)), std::cos(static_cast<double>(theta))};
        }
        return t;
    }();
    return table;
}

}  // namespace

FrameSynth::FrameSynth(SkyModel& sky, MountModel& mount)
    : sky_(sky),
      mount_(mount),
      photonImage_(kSensorPixels),
      frameImage_(kSensorPixels, kBiasLevel) {
    PhotonDirections();
}

std::span<const uint8_t> FrameSynth::SkippedFrame() {
    static constexpr std::array<uint8_t, 4> kSkipped{};
    return kSkipped;
}

bool FrameSynth::Drawn(float flux, float exposureSeconds) {
    return exposureSeconds > 0.0f && flux <= kMaxDrawnFlux &&
           flux >= kMinDrawnPhotons / exposureSeconds;
}

void FrameSynth::StartExposure(int64_t startMs, float exposureSeconds, int gainIndex) {
    std::fill(photonImage_.begin(), photonImage_.end(), uint16_t{0});
    if (clock_ < 0) referenceTime_ = startMs;
    clock_ = startMs;
    for (SkyStar& star : sky_.slots()) {
        star.integrationStart = static_cast<double>(startMs) / 1000.0;
        star.photonsEmitted = 0;
    }
    exposureTime_ = exposureSeconds;
    gainIndex_ = GainTableIndex(gainIndex);
    exposureEnd_ = startMs + std::llround(static_cast<double>(exposureSeconds) * 1000.0);
    photonsEmitted_ = 0;
    photonsOnSensor_ = 0;
}

void FrameSynth::AdvanceTo(int64_t timeMs) {
    if (clock_ < 0) return;
    while (clock_ + MountModel::kStepMs <= timeMs) {
        clock_ += MountModel::kStepMs;
        const ImageOffset offset =
            mount_.MountStep(clock_, referenceTime_, sky_.random(), sky_.seeing());
        const double t = static_cast<double>(clock_) / 1000.0;
        for (SkyStar& star : sky_.stars()) {
            if (Drawn(star.flux, exposureTime_)) RenderStar(star, t, offset.dx, offset.dy);
        }
    }
}

void FrameSynth::RenderStar(SkyStar& star, double timeSeconds, float dx, float dy) {
    const auto due = static_cast<int64_t>((timeSeconds - star.integrationStart) * star.flux + 0.5);
    const int64_t n = due - star.photonsEmitted;
    star.photonsEmitted += n;
    if (n <= 0) return;
    photonsEmitted_ += n;

    const std::array<Direction, 65536>& directions = PhotonDirections();
    const auto& cumulative = star.profile->cumulative;
    const auto total = static_cast<uint32_t>(star.profile->total);
    PhotonRandom& random = sky_.photons();
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t a = random.Next();
        const uint32_t b = random.Next();
        const Direction& direction = directions[a & 0xFFFF];
        const uint32_t u = (b >> 16) % total;
        const auto k =
            std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin();
        const double r =
            static_cast<double>((a >> 16) & 0xFF) / 2560.0 + static_cast<double>(k) / 10.0;
        // Truncation toward zero, as the sensor's readout rounds: a photon just left of
        // column 0 still lands in it.
        const double column = std::trunc(direction.sin * r + star.x + 0.5 + dx);
        const double row = std::trunc(direction.cos * r + star.y + 0.5 + dy);
        // Written so that a NaN position (from a NaN setting) is off the sensor too.
        if (!(column >= 0.0 && column < kSensorWidth && row >= 0.0 && row < kSensorHeight)) {
            continue;
        }
        uint16_t& pixel = photonImage_[static_cast<std::size_t>(row) * kSensorWidth +
                                       static_cast<std::size_t>(column)];
        if (pixel < 65535) ++pixel;
        ++photonsOnSensor_;
    }
}

void FrameSynth::FinishFrame(int64_t endMs) {
    // A clock that never started stays so: the frame then shows the empty sensor.
    if (clock_ >= 0 && endMs - clock_ > kMaxCatchUpMs) clock_ = endMs - kMaxCatchUpMs;
    AdvanceTo(endMs);
    MakeFrameImage(photonImage_, gainIndex_, frameImage_);
    if (gainIndex_ == kSixteenBitGain) {
        encoder_.EncodeSixteenBit();
    } else {
        encoder_.Encode(frameImage_);
    }
    exposureEnd_ = 0;
}

}  // namespace starloom
