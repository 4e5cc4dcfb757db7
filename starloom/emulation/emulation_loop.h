#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "starloom/model/starloom_model.h"
#include "vt5api/api/vt5api.h"

struct VT5EmuEvent;

namespace starloom {

// The mount settings of Starloom's "Apply" button, as numbers.
struct MountSettings {
    int agSpeedSelection = 1;  // AG speed 1 / 2^selection: 0 = 1x ... 3 = 0.125x
    int focalLength = MountModel::kDefaultFocalLength;  // mm
    bool southern = false;
    float poleAltitude = 45.0f;  // degrees
    float altitudeError = 0.0f;  // arcseconds
    float azimuthError = 0.0f;   // arcseconds
};

// Every model setting of Starloom's dialog, as numbers: what a run without a window takes.
struct EmulationSettings {
    int32_t seed = StarloomModel::kStartSeed;
    MountSettings mount;
    double hoursFromMeridian = 0.0;
    bool backlash = false;
    float backlashSeconds = 0.0f;
    float seeingFwhm = kDefaultSeeingFwhm;  // arcseconds; 0: no seeing
};

// One frame request answered.
struct FrameSent {
    int64_t time = 0;        // the request's HC time, ms
    int32_t exposureMs = 0;  // of the exposure it finished (0 for a skipped frame)
    int gain = 0;
    int32_t bytes = 0;  // frame length sent (4 for the empty frame)
    bool skipped = false;
    unsigned outputs = 0;  // the guide outputs that drive the mount at that moment
};

// Starloom's camera emulation against an HC: the start with the model set-up, the emulation
// step (the HC's events in, frames out, guide outputs into the mount) and the stop. The
// caller opens and closes the API context and calls Step every few milliseconds; the dialog
// and the command-line loop share this class. Every call returns a VT5 API error code.
class EmulationLoop {
public:
    static constexpr const char* kSeeingFile = StarloomModel::kSeeingFile;
    // An event further ahead of the simulation clock than this restarts the simulation at its
    // time rather than being caught up with step by step.
    static constexpr int64_t kMaxCatchUpMs = 60'000;

    EmulationLoop(CVT5Api& api, StarloomModel& model);
    EmulationLoop(const EmulationLoop&) = delete;
    EmulationLoop& operator=(const EmulationLoop&) = delete;

    // --- the handlers of the settings (they work in any state) ---------------------------
    void ApplyStarField(int32_t seed);
    void ApplyAgSpeed(int selection);
    void ApplyFocalLength(int millimetres);
    // Errors in arcseconds.
    void ApplyPolarAlignment(bool southern, float poleAltitude, float altitudeError,
                             float azimuthError);
    void ApplyMount(const MountSettings& mount);
    void ApplyTime(double hoursFromMeridian);
    void ApplyBacklash(bool enabled, float seconds);
    // Seeing FWHM in arcseconds; 0 switches it off.
    void ApplySeeing(float fwhmArcseconds);
    void ApplyAll(const EmulationSettings& settings);

    // --- start, step, stop ------------------------------------------------------------------
    // The HC's protocol version, asked again for as long as the HC reports a mode change;
    // `boot` tells whether its boot loader runs (the emulation needs the firmware).
    int32_t CheckFirmware(bool& boot);
    // Switches the emulation on in the HC, sets the model up as every start does, lets
    // `applySettings` put the user's settings in, and starts the simulation clock at the HC's.
    int32_t Begin(const std::function<void()>& applySettings);
    // One tick: the HC's events in order (exposures, frame requests, guide outputs).
    int32_t Step();
    int32_t End();

    // --- manual guide outputs ----------------------------------------------------------------
    // Checked: the override outputs (cleared now) drive the mount instead of the HC's.
    void SetOverride(bool checked);
    bool override() const { return override_; }
    void SetOverrideOutputs(unsigned bits);
    unsigned overrideOutputs() const { return overrideOutputs_; }
    // What a left button press or release ends with: the override outputs reach the mount
    // while Override is checked.
    void ApplyOverride();

    // --- what the step tells --------------------------------------------------------------
    void SetFrameSink(std::function<void(const FrameSent&)> sink) { frameSink_ = std::move(sink); }
    // The step's trace lines ("%d: Start expo.. %d ms, g%d\r\n", ...), when wanted.
    void SetTraceSink(std::function<void(const std::string&)> sink) {
        traceSink_ = std::move(sink);
    }
    void SetSeeingFile(std::filesystem::path path) { seeingFile_ = std::move(path); }

    unsigned hcOutputs() const { return hcOutputs_; }
    int64_t hcStartTime() const { return hcStartTime_; }
    int32_t exposureMs() const { return exposureMs_; }
    bool exposureOpen() const { return exposureOpen_; }
    int64_t exposureEnd() const { return exposureEnd_; }
    // The track bar's 0 to 1000: how far the DEC drive is into its backlash.
    int backlashPosition() const { return backlashPosition_; }
    StarloomModel& model() { return model_; }

private:
    int32_t HandleEvent(const VT5EmuEvent& event);
    int32_t SendFrame(int64_t time);
    void SetHcOutputs(unsigned bits);
    void Trace(const std::string& line);

    CVT5Api& api_;
    StarloomModel& model_;
    std::filesystem::path seeingFile_ = kSeeingFile;
    int64_t hcStartTime_ = 0;
    int32_t exposureMs_ = 0;
    int64_t exposureEnd_ = 0;
    bool exposureOpen_ = false;
    unsigned hcOutputs_ = 0;
    unsigned overrideOutputs_ = 0;
    bool override_ = false;
    int backlashPosition_ = 0;
    std::function<void(const FrameSent&)> frameSink_;
    std::function<void(const std::string&)> traceSink_;
};

// The override outputs after a press on one of the four arrows (0 ◀ RA+, 1 ▶ RA-, 2 ▲ DEC+,
// 3 ▼ DEC-): its bit set, the opposite one cleared.
unsigned PressArrow(unsigned outputs, int arrow);

}  // namespace starloom
