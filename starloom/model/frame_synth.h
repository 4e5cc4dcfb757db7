#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "starloom/model/frame_encoder.h"
#include "starloom/model/mount_model.h"
#include "starloom/model/sky_model.h"

namespace starloom {

// Runs the simulation clock in 10 ms steps, places each star's photons one by one around its
// moving position, and turns the photon counts into the frames that the HC reads from its
// camera.
class FrameSynth {
public:
    static constexpr float kMaxDrawnFlux = 1e7f;       // photons per second
    static constexpr float kMinDrawnPhotons = 100.0f;  // per exposure
    static constexpr int64_t kMaxCatchUpMs = 5000;

    FrameSynth(SkyModel& sky, MountModel& mount);
    FrameSynth(const FrameSynth&) = delete;
    FrameSynth& operator=(const FrameSynth&) = delete;

    // Opens an exposure at t (ms); the first one ever also sets the reference time.
    void StartExposure(int64_t startMs, float exposureSeconds, int gainIndex);
    // Simulates the 10 ms steps up to t (ms); nothing before the first exposure.
    void AdvanceTo(int64_t timeMs);
    // Places the photons that the star owes by t (seconds) around its position shifted by
    // (dx, dy).
    void RenderStar(SkyStar& star, double timeSeconds, float dx, float dy);
    // Simulates up to t (at most the last 5 s of it), makes the frame image and the compressed
    // frame.
    void FinishFrame(int64_t endMs);

    // Exposure time that decides which stars are drawn before the first exposure start.
    void SetExposureTime(float seconds) { exposureTime_ = seconds; }

    std::span<const uint8_t> FrameBytes() const { return encoder_.frame(); }
    static std::span<const uint8_t> SkippedFrame();

    int64_t clock() const { return clock_; }
    int64_t referenceTime() const { return referenceTime_; }
    float exposureTime() const { return exposureTime_; }
    int64_t exposureEnd() const { return exposureEnd_; }
    int gainIndex() const { return gainIndex_; }
    std::span<const uint16_t> photonImage() const { return photonImage_; }
    std::span<const uint16_t> frameImage() const { return frameImage_; }
    // Photons of the current exposure: placed, and of those the ones that hit the sensor.
    int64_t photonsEmitted() const { return photonsEmitted_; }
    int64_t photonsOnSensor() const { return photonsOnSensor_; }
    const FrameEncoder& encoder() const { return encoder_; }

    // Whether a star of this flux is drawn in an exposure of this length.
    static bool Drawn(float flux, float exposureSeconds);

private:
    SkyModel& sky_;
    MountModel& mount_;
    int64_t clock_ = -1;
    int64_t referenceTime_ = 0;
    float exposureTime_ = 0.0f;
    int64_t exposureEnd_ = 0;
    int gainIndex_ = 0;
    std::vector<uint16_t> photonImage_;
    std::vector<uint16_t> frameImage_;
    int64_t photonsEmitted_ = 0;
    int64_t photonsOnSensor_ = 0;
    FrameEncoder encoder_;
};

}  // namespace starloom
