#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace hcsim::camera {

struct Point {
    double x = 0;
    double y = 0;
};

// What a calibration found: how the star moves on the sensor while an RA or DEC output is on.
// The vectors are the directions of the plus outputs; the rates are pixels per second of
// output. DEC counts as not calibrated when its rate is 0.
struct CalibrationResult {
    Point ra{1, 0};
    double raRate = 0;
    Point dec{0, 1};
    double decRate = 0;

    bool decCalibrated() const { return decRate > 0; }
    // c0 ... c5 of the log: RA x, y, rate, DEC x, y, rate.
    std::array<double, 6> values() const;
    // An offset on the sensor split into its RA and DEC parts (pixels along each vector).
    // Without DEC, the DEC part is the offset across the RA vector.
    void split(double dx, double dy, double& raPart, double& decPart) const;
};

struct CalibrationSettings {
    int stepMs = 1500;         // length of one calibration pulse
    double distance = 12;      // pixels an axis is moved out before its rate is taken
    double minDistance = 3;    // moved less than this after maxSteps: the axis does not work
    int maxSteps = 12;         // pulses per direction
    double clearDistance = 1;  // DEC backlash is taken up once the star moved this far
    int maxClearSteps = 20;
};

// The HC's calibration: RA plus out and back, then DEC plus (first taking up the backlash of
// the DEC drive) out and back, one pulse per frame. The caller gives the star's position
// after each pulse and carries out the move that comes back.
class Calibration {
public:
    enum class Phase : uint8_t { RaOut = 1, RaBack, DecClear, DecOut, DecBack, Done, Failed };

    struct Move {
        unsigned output = 0;  // one of the output bits
        int ms = 0;
        uint16_t stepValue = 0;  // phase << 8 | step number within it, as the HC announces it
    };

    static constexpr uint16_t kDoneStep = 0xFF00;
    static constexpr uint16_t kFailedStep = 0xFFFF;

    explicit Calibration(CalibrationSettings settings = {}) : settings_(settings) {}

    // Starts with the star at `at`; returns the first move.
    Move begin(Point at);
    // The star's position after the last move; the next move, or nothing once Done or Failed.
    std::optional<Move> next(Point at);

    Phase phase() const { return phase_; }
    bool finished() const { return phase_ == Phase::Done || phase_ == Phase::Failed; }
    const CalibrationResult& result() const { return result_; }
    const std::string& failure() const { return failure_; }
    const CalibrationSettings& settings() const { return settings_; }

private:
    Move move(unsigned output);
    std::optional<Move> fail(std::string why);
    void enter(Phase phase, Point origin);

    CalibrationSettings settings_;
    Phase phase_ = Phase::Done;
    Point origin_;
    int steps_ = 0;     // pulses made in the current phase
    int outSteps_ = 0;  // pulses of the last outward phase, to come back by
    CalibrationResult result_;
    std::string failure_;
};

}  // namespace hcsim::camera
