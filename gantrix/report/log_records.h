#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gantrix/report/log_time.h"

namespace report {

// One camera frame taken while exposing.
struct FrameRecord {
    int guided = 0;           // non-zero when AG was running at the CAM FRAME line
    int star = 0;             // 1 when the star value is greater than 0
    float fwhm = 0;           // guide star FWHM, pixels
    float starValue = 0;      // positive when a star was measured
    float raDrift = 0;        // pixels, from the AG DRIFT line that follows the frame
    float decDrift = 0;       // pixels
    float raSignal = 0;       // time-averaged RA guide output over the frame's interval, -1..+1
    float decSignal = 0;      // likewise for DEC
    float interval = 0;       // seconds from this frame to the next
    float trackingError = 0;  // pixels from ComputeExposureStatistics, arcseconds once drawn
};

struct ExposureStatistics {
    int frames = 0;
    int guidedFrames = 0;
    int starFrames = 0;
    int raCorrections = 0;  // star frames whose RA pulse exceeds 0.005 s
    int decCorrections = 0;
    float raDriftStd = 0;  // pixels, population standard deviation over star frames
    float raDriftMin = 0;
    float raDriftMax = 0;
    float decDriftStd = 0;
    float decDriftMin = 0;
    float decDriftMax = 0;
    float raSignalMin = 0;
    float raSignalMax = 0;
    float decSignalMin = 0;
    float decSignalMax = 0;
    float meanRaPulse = 0;  // seconds
    float meanRaDuty = 0;   // 0..1
    float meanDecPulse = 0;
    float meanDecDuty = 0;
    float fwhmMax = 0;           // pixels
    float trackingErrorMin = 0;  // centred; pixels, arcseconds once drawn
    float trackingErrorMax = 0;
};

// Calibration from CALIB RESULT: c0, c1 the direction of RA corrections on the pixel array,
// c2 the RA rate in pixels per second of signal; c3, c4, c5 the same for DEC.
using Calibration = std::array<float, 6>;

// Below this DEC rate DEC is not calibrated and the report leaves DEC out.
constexpr float kMinDecRate = 0.001f;

// One guided exposure, from the EXPO STATE line that opens it to the one that closes it.
struct ExposureRecord {
    LogTime startTime = 0;
    LogTime endTime = 0;
    float focalLength = 0;  // mm
    int binning = -1;       // -1 unknown
    std::string agMode;
    float raPStart = 0;
    float raPEnd = 0;
    float raIStart = 0;
    float raIEnd = 0;
    float raTolerance = 0;
    float decP = 0;
    float decTolerance = 0;
    Calibration calibration{};
    std::vector<FrameRecord> frames;
    ExposureStatistics statistics;

    bool DecCalibrated() const { return calibration[5] >= kMinDecRate; }
};

// Time-weighted guide outputs between two frames.
struct SignalAccumulator {
    LogTime lastTime = 0;
    int raState = 0;   // -1, 0, +1
    int decState = 0;  // -1, 0, +1
    int64_t elapsed = 0;
    int64_t raIntegral = 0;  // state times milliseconds
    int64_t decIntegral = 0;

    // Accounts the states held since the last time up to t, then takes the new states.
    void Advance(LogTime t, int newRaState, int newDecState);
};

// What the interpreter keeps while it walks a log.
struct LogState {
    LogTime logStartTime = 0;
    std::string hcUid;
    std::string logStartSecond;  // kept, not used
    std::string firmwareVersion;
    std::string cameraUid;
    std::string cameraSecond;  // kept, not used
    std::string cameraThird;   // kept, not used
    Calibration calibration{};
    std::string agMode;
    float raP = 0;
    float raI = 0;
    float raTolerance = 0;
    float decP = 0;
    float decTolerance = 0;
    float focalLength = 0;
    bool agRunning = false;
    int binning = -1;
    std::string exposureState;
    SignalAccumulator accumulator;
    ExposureRecord exposure;
    std::vector<ExposureRecord> exposures;
};

}  // namespace report
