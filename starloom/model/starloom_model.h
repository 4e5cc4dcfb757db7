#pragma once

#include <filesystem>

#include "starloom/model/frame_synth.h"
#include "starloom/model/mount_model.h"
#include "starloom/model/sky_model.h"

namespace starloom {

// Starloom's whole model: sky, mount and frame synthesis, wired together. Large (two sensor
// images) and self-referencing, so it is made once and kept in place.
class StarloomModel {
public:
    static constexpr const char* kSeeingFile = "seeing.csv";
    static constexpr int kStartSeed = 2;
    static constexpr float kStartPeriodicError = 20.0f;  // arcseconds
    static constexpr int kStartResponseDelay = 1;

    StarloomModel() = default;
    StarloomModel(const StarloomModel&) = delete;
    StarloomModel& operator=(const StarloomModel&) = delete;

    // The model's part of each emulation start, before the user's settings are applied:
    // profiles, generators, guide state, seeing table, periodic error, response delay and the
    // star field of seed 2. The simulation clock and reference time carry on.
    void StartEmulation(const std::filesystem::path& seeingFile, float exposureSeconds);

    void SetHourAngle(double seconds) {
        mount_.SetHourAngle(seconds, frames_.clock(), frames_.referenceTime());
    }
    // Seeing of that FWHM in arcseconds (0: none), from the seeing table, or from the
    // built-in image motion when no table was read.
    void SetSeeingFwhm(float arcseconds) {
        mount_.SetSeeingAmplitude(SeeingAmplitude(arcseconds));
        if (arcseconds > 0.0f) sky_.UseBuiltInSeeingWhenEmpty();
    }
    void SetPeriodicError(int type, double hourAngleOffset, float amplitude) {
        mount_.SetPeriodicError(type, hourAngleOffset, amplitude, sky_.random());
    }

    SkyModel& sky() { return sky_; }
    const SkyModel& sky() const { return sky_; }
    MountModel& mount() { return mount_; }
    const MountModel& mount() const { return mount_; }
    FrameSynth& frames() { return frames_; }
    const FrameSynth& frames() const { return frames_; }

private:
    SkyModel sky_;
    MountModel mount_;
    FrameSynth frames_{sky_, mount_};
};

}  // namespace starloom
