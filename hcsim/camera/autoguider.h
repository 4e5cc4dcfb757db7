#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "hcsim/camera/calibration.h"
#include "hcsim/camera/emulation_events.h"
#include "hcsim/camera/frame_decoder.h"
#include "hcsim/camera/guide_controller.h"
#include "hcsim/camera/guide_log.h"
#include "hcsim/camera/guide_outputs.h"
#include "hcsim/camera/star_measure.h"

namespace hcsim::camera {

struct AutoguiderSettings {
    int exposureMs = 1000;  // guide camera exposure, 10 to 4095 ms
    int gainIndex = 6;      // 0 to 9: the 12-bit gains of the camera
    int focalLengthMm = 176;
    GuideParameters guide;
    CalibrationSettings calibration;
    int frameTimeoutMs = 5000;  // after the frame request; then the exposure is taken again
    int searchRadius = 16;      // pixels around the last position where the star is sought
    int maxLostFrames = 5;      // frames without the star before it counts as lost
    int readoutMs = 2000;       // of the main camera after a guided exposure
};

// Who writes the log: the first fields of LOG START and the card it goes to.
struct LogIdentity {
    std::string hcUid;
    std::string hardware;  // the second field: the HC's hardware ID
    std::string firmware;
    SdCard* card = nullptr;            // none: no card slot
    std::filesystem::path cardFolder;  // the host folder behind the card
};

// The HC's autoguider running on frames from the PC instead of its camera. Between start and
// stop of the camera emulation it takes guide camera exposures one after another (exposure
// start, frame request, frame), finds a guide star and follows it; on request it calibrates
// and guides, and it runs guided exposures of the main camera. Times are the HC's clock in ms.
//
// Cycle: each exposure starts when the guide outputs of the last frame are off again; the
// frame is requested at the exposure end and awaited frameTimeoutMs; a frame that does not
// come, or does not decode, counts as a frame without a star.
class Autoguider {
public:
    enum class Mode { Off, Looping, Calibrating, Guiding };
    enum class MainExposure { Idle, Exposing, Readout };

    explicit Autoguider(GuideLog& log) : log_(log) {}

    void start(int64_t now, const LogIdentity& who);
    void stop(int64_t now);
    // The HC restarts: the session ends and the calibration is forgotten.
    void reset(int64_t now);
    bool running() const { return mode_ != Mode::Off; }

    // Does what is due up to `now`, each at its own time.
    void advanceTo(int64_t now);
    std::optional<int64_t> nextEvent() const;
    // A frame from the PC at `now`; false when none was awaited (it is then dropped).
    bool frameReceived(int64_t now, const uint8_t* data, size_t size);

    // Requests of the user (menu, control commands); an empty text when taken, else why not,
    // in a few words that fit the HC's display.
    std::string calibrate(int64_t now);
    std::string startGuiding(int64_t now);
    std::string stopGuiding(int64_t now);
    // A guided exposure of the main camera; guiding starts first (calibrating when needed).
    std::string expose(int64_t now, int seconds);
    std::string endExposure(int64_t now);
    // Settings take effect with the next exposure; a change of RA P or I while guiding is
    // logged (AG TRIM).
    AutoguiderSettings& settings() { return settings_; }
    const AutoguiderSettings& settings() const { return settings_; }
    void trimmed(int64_t now);

    EventQueue& events() { return events_; }
    const EventQueue& events() const { return events_; }
    Mode mode() const { return mode_; }
    MainExposure mainExposure() const { return mainExposure_; }
    bool guidingWanted() const { return wantGuiding_; }
    const std::optional<StarMeasurement>& star() const { return star_; }
    const std::optional<CalibrationResult>& calibration() const { return calibration_; }
    const std::optional<Point>& lockPosition() const { return lock_; }
    // RA and DEC parts of the star's offset from the lock in the last frame that had one.
    const std::optional<Point>& lastDrift() const { return lastDrift_; }
    // Milliseconds the main exposure has still to run; nothing when none runs.
    std::optional<int64_t> exposureLeft(int64_t now) const;
    unsigned outputs() const { return outputs_.bits(); }
    const std::string& lastError() const { return lastError_; }
    const GuideLog& log() const { return log_; }

    struct Counters {
        int64_t exposures = 0;
        int64_t frames = 0;   // received and decoded
        int64_t empty = 0;    // received without a picture
        int64_t invalid = 0;  // received and not decodable
        int64_t missed = 0;   // requested and not received in time
        int64_t unasked = 0;  // received while none was awaited
    };
    const Counters& counters() const { return counters_; }

    static const char* modeName(Mode mode);
    static const char* mainExposureName(MainExposure state);

private:
    enum class Camera { Idle, Waiting, Exposing, AwaitingFrame };

    void startExposure(int64_t at);
    void requestFrame(int64_t at);
    void frameDone(int64_t now, bool decoded);
    void takeStar(bool decoded);
    void logFrame(int64_t now);
    void looping(int64_t now);
    void calibrating(int64_t now);
    void guiding(int64_t now);
    void beginCalibration(int64_t now);
    void finishCalibration(int64_t now);
    void beginGuiding(int64_t now);
    void beginMainExposure(int64_t now, int seconds);
    void setMainExposure(int64_t at, MainExposure state, int seconds);
    void logDrift(int64_t now, double& ra, double& dec);
    void logCalibration(int64_t now);
    const char* agMode() const;

    GuideLog& log_;
    AutoguiderSettings settings_;
    EventQueue events_;
    GuideOutputs outputs_{events_, log_};
    GuideController controller_;
    Calibration calibrator_;
    FrameImage image_;

    Mode mode_ = Mode::Off;
    Camera camera_ = Camera::Idle;
    int64_t cameraAt_ = 0;  // when the camera's next step is due (exposure start, end, timeout)
    int exposureMs_ = 0;    // of the exposure being taken
    int64_t frameNumber_ = 0;

    std::optional<StarMeasurement> star_;  // in the last frame
    std::optional<Point> track_;           // where the guide star was last seen
    int lostFrames_ = 0;
    std::optional<CalibrationResult> calibration_;
    std::optional<Point> lock_;
    std::optional<Point> lastDrift_;
    bool wantCalibration_ = false;
    bool wantGuiding_ = false;

    MainExposure mainExposure_ = MainExposure::Idle;
    int64_t mainAt_ = 0;                  // when the main exposure's next state is due
    std::optional<int> pendingExposure_;  // seconds, waiting for guiding to start

    Counters counters_;
    std::string lastError_;
};

}  // namespace hcsim::camera
